#include "BuildConfig.h"
#include "app/LogNotice.h"
#include "app/LoggingMessageBoxes.h"
#include "app/ProgramFolder.h"
#include "app/StartSequence.h"
#include "app/TMainForm.h"
#include "common/Clock.h"
#include "store/Database.h"
#include "supportlog/EventLog.h"
#include "supportlog/SupportLog.h"
#include "ui/MessageBoxes.h"
#include "ui/Theme.h"
#ifdef Q_OS_WIN
#include "platform/WindowsPlatform.h"
#else
#include "platform/LinuxPlatform.h"
#endif

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

using namespace brisfold;

namespace {

// Opt-in for the start-up benchmark (BRISFOLD_REPORT_FIRST_PAINT set): prints the wall-clock time
// once the main window's first frame is painted and the event loop is free again.
class FirstPaintReport final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The frame is flushed by the time the loop runs the next zero timer.
            QTimer::singleShot(0, [] {
                std::fprintf(stderr, "brisfold-first-paint-epoch-ms %lld\n",
                             static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
                std::fflush(stderr);
            });
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    WindowsPlatform platform;
#else
    LinuxPlatform platform;
#endif
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
    // No display name: the toolkit would append it to every window's caption.
    QApplication::setApplicationName(QStringLiteral("Brisfold"));
    // Qt's own texts (the Yes and No of a question) in the user's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    const SystemClock clock;
    // The support log. Its one failure notice goes to the main window's status bar.
    LogNotice logNotice;
    SupportLog supportLog(folder.file(QStringLiteral("log")), clock,
                          [&logNotice](const QString &text) { logNotice.post(text); });
    eventlog::install(&supportLog);
    eventlog::write(
        eventlog::programStarted(QString::fromLatin1(config::version), folder.path(), folder.database()));

    MessageBoxes shownMessages;
    LoggingMessageBoxes messages(shownMessages);
    if (const QString themeError = applyTabletDark(application); !themeError.isEmpty())
        messages.showMessage(nullptr, themeError);

    int exitCode = 0;
    {
        // Declared before the window, so they outlive it and everything it runs.
        Connections database;
        openDatabase(database, folder, platform, messages);
        TMainForm mainForm(platform, messages, database, clock, folder);
        logNotice.setWindow(&mainForm);
        // The end of the desktop session asks the closing question too; unanswered, it is refused.
        QObject::connect(&application, &QGuiApplication::commitDataRequest, &mainForm,
                         [&mainForm](QSessionManager &manager) {
                             if (!manager.allowsInteraction() || !mainForm.FormCloseQuery())
                                 manager.cancel();
                             else
                                 manager.release();
                         });
        FirstPaintReport firstPaint;
        if (qEnvironmentVariableIsSet("BRISFOLD_REPORT_FIRST_PAINT"))
            mainForm.installEventFilter(&firstPaint);
        mainForm.show();
        exitCode = QApplication::exec();
    }
    if (reportHeap)
        messages.showMessage(nullptr, platform.heapReport());
    eventlog::write(eventlog::programEnded());
    eventlog::install(nullptr);
    return exitCode;
}
