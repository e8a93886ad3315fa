#pragma once

#include "app/ProgramFolder.h"

#include <QString>

namespace brisfold {

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

} // namespace brisfold
