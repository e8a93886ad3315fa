#include "app/MessageBoxes.h"
#include "app/ProgramFolder.h"
#include "app/StartSequence.h"
#include "app/TMainForm.h"
#include "app/Theme.h"
#include "dispatch/TFEntrega.h"
#include "marketplace/TFCadastroDelivery.h"
#include "platform/LinuxPlatform.h"

#include <QApplication>
#include <QFileInfo>

using namespace brisfold;

int main(int argc, char **argv)
{
    LinuxPlatform platform;
    const QString executable = platform.executablePath();
    const ProgramFolder folder = ProgramFolder::ofExecutable(executable);

    const InstanceClaim claim = claimInstance(platform, folder, QFileInfo(executable).fileName());
    if (claim.role == StartRole::SecondStart) {
        if (!claim.signalError.isEmpty()) {
            QApplication application(argc, argv);
            MessageBoxes().showMessage(nullptr, claim.signalError);
        }
        return 0;
    }

    // Only the existence of the switch file at start counts.
    const bool reportHeap = platform.fileExists(folder.reportSwitch());

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisfold"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brisfold"));
    MessageBoxes messages;
    if (const QString themeError = applyTabletDark(application); !themeError.isEmpty())
        messages.showMessage(nullptr, themeError);

    int exitCode = 0;
    {
        TMainForm mainForm(platform, messages, folder);
        auto *entrega = new TFEntrega(mainForm);
        auto *cadastroDelivery = new TFCadastroDelivery(mainForm);
        mainForm.setDialogs(entrega, cadastroDelivery);
        mainForm.show();
        exitCode = QApplication::exec();
    }
    if (reportHeap)
        messages.showMessage(nullptr, platform.heapReport());
    return exitCode;
}
