#include "app/StartSequence.h"

#include "platform/Platform.h"
#include "store/Connections.h"
#include "store/Database.h"
#include "store/ExtraTables.h"
#include "ui/MessageBoxes.h"

namespace brisfold {

InstanceClaim claimInstance(Platform &platform, const ProgramFolder &folder,
                            const QString &executableFileName)
{
    // A folder that cannot be made only means a later second start cannot signal.
    if (!platform.folderExists(folder.signalFolder()))
        platform.makeFolders(folder.signalFolder());

    InstanceClaim claim;
    if (platform.acquireInstanceLock(executableFileName + QStringLiteral("Mutex")) !=
        InstanceLock::AlreadyRunning)
        return claim;

    claim.role = StartRole::SecondStart;
    claim.signalError = platform.writeIniValue(folder.signalFile(), QStringLiteral("Gestor"),
                                               QStringLiteral("Abrir"), QStringLiteral("1"));
    return claim;
}

bool openDatabase(Connections &connections, const ProgramFolder &folder, Platform &platform,
                  MessageBoxes &messages)
{
    QString error;
    if (connections.open(folder.database(), &error)) {
        try {
            ensureExtraTables(connections.writer);
        } catch (const DatabaseError &) {
            // A database that cannot take them (read-only, say) still serves the board; the
            // features that keep something there make their table when they first write.
        }
        return true;
    }
    messages.showMessage(nullptr, QStringLiteral("Erro: Avise o Suporte") + error);
    platform.startScriptDetached(folder.supportScript());
    return false;
}

} // namespace brisfold
