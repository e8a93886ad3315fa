#pragma once

#include "app/ProgramFolder.h"
#include "store/Connections.h"

#include <QString>

namespace brisfold {

class Database;
class MessageBoxes;
class Platform;

enum class StartRole
{
    RunningCopy,
    SecondStart, // the running copy was signalled (or the signal could not be written)
};

struct InstanceClaim
{
    StartRole role = StartRole::RunningCopy;
    QString signalError; // set when a second start could not write the signal file
};

// The part of the start that runs before any window: prepares the signal folder, takes the
// instance lock named after the executable's file name and, on a second start, leaves the
// signal file for the running copy.
InstanceClaim claimInstance(Platform &platform, const ProgramFolder &folder,
                            const QString &executableFileName);

// Opens the program folder's database (the writer and the board's reader) before the main
// window is made. When it cannot be
// opened the user reads "Erro: Avise o Suporte" followed by the engine's text, the support
// script is started, and the start goes on: the window tries once more when it is first shown.
bool openDatabase(Connections &connections, const ProgramFolder &folder, Platform &platform,
                  MessageBoxes &messages);

} // namespace brisfold
