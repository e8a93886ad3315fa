#include "platform/LinuxPlatform.h"

#include "platform/ThreadPriority.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using brisfold::InstanceLock;
using brisfold::LinuxPlatform;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Points the XDG folders of this process at a temporary folder for one test.
class XdgFolders
{
public:
    XdgFolders()
    {
        qputenv("XDG_RUNTIME_DIR", dir.filePath(QStringLiteral("run")).toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("home-config")).toUtf8());
        qputenv("XDG_CONFIG_DIRS",
                (dir.filePath(QStringLiteral("etc-xdg")) + QStringLiteral(":/etc/xdg")).toUtf8());
        QDir().mkpath(dir.filePath(QStringLiteral("run")));
    }
    QString path(const char *relative) const { return dir.filePath(QString::fromUtf8(relative)); }

    QTemporaryDir dir;
};

} // namespace

TEST(LinuxPlatform, TheInstanceLockIsHeldPerName)
{
    XdgFolders xdg;
    LinuxPlatform platform;
    EXPECT_EQ(platform.acquireInstanceLock(QStringLiteral("BrisfoldMutex")), InstanceLock::Acquired);
    EXPECT_TRUE(QFile::exists(xdg.path("run/BrisfoldMutex")));
    EXPECT_EQ(platform.acquireInstanceLock(QStringLiteral("BrisfoldMutex")), InstanceLock::AlreadyRunning);
    EXPECT_EQ(platform.acquireInstanceLock(QStringLiteral("OutroNomeMutex")), InstanceLock::Acquired);
    // A lock that cannot be made at all counts as the first start.
    qputenv("XDG_RUNTIME_DIR", xdg.path("missing/folder").toUtf8());
    EXPECT_EQ(platform.acquireInstanceLock(QStringLiteral("BrisfoldMutex")), InstanceLock::Unavailable);
}

TEST(LinuxPlatform, WritesBothAutostartEntriesNamingBrisfoldInTheProgramFolder)
{
    XdgFolders xdg;
    LinuxPlatform platform;
    platform.registerAutostart(QStringLiteral("/opt/Meu \"Programa\""));
    for (const char *entry :
         {"home-config/autostart/Brisfold.desktop", "etc-xdg/autostart/Brisfold.desktop"}) {
        SCOPED_TRACE(entry);
        const QByteArray content = readAll(xdg.path(entry));
        EXPECT_TRUE(content.startsWith("[Desktop Entry]\n"));
        EXPECT_TRUE(content.contains("\nExec=\"/opt/Meu \\\"Programa\\\"/Brisfold\" --autostart\n"))
            << content.data();
    }
}

TEST(LinuxPlatform, SkipsTheMachineEntryWhenItCannotBeWritten)
{
    XdgFolders xdg;
    // A plain file where the machine's configuration folder should be: nothing can go there,
    // whoever runs the test.
    QFile blocker(xdg.path("etc-xdg"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LinuxPlatform().registerAutostart(QStringLiteral("/opt/brisfold"));
    EXPECT_TRUE(QFile::exists(xdg.path("home-config/autostart/Brisfold.desktop")));
    EXPECT_FALSE(QFile::exists(xdg.path("etc-xdg/autostart/Brisfold.desktop")));
}

TEST(LinuxPlatform, WritesAnIniValueKeepingOtherKeysAndReportsAFailure)
{
    QTemporaryDir dir;
    LinuxPlatform platform;
    const QString file = dir.filePath(QStringLiteral("open.ini"));
    QFile seed(file);
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write("[Gestor]\r\nAbrir=1\r\nOutra=x\r\n");
    seed.close();
    EXPECT_EQ(
        platform.writeIniValue(file, QStringLiteral("Gestor"), QStringLiteral("Abrir"), QStringLiteral("1")),
        QString());
    EXPECT_EQ(readAll(file), QByteArray("[Gestor]\r\nAbrir=1\r\nOutra=x\r\n"));
    EXPECT_NE(platform.writeIniValue(dir.filePath(QStringLiteral("sem/pasta/open.ini")),
                                     QStringLiteral("Gestor"), QStringLiteral("Abrir"), QStringLiteral("1")),
              QString());
}

TEST(LinuxPlatform, AWorkerLowersOnlyItsOwnPriority)
{
    const auto niceOfThisThread = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
    const int before = niceOfThisThread();
    bool lowered = false;
    int worker = 0;
    std::thread([&] {
        lowered = brisfold::lowerCurrentThreadPriority();
        worker = niceOfThisThread();
    }).join();
    EXPECT_TRUE(lowered);
    EXPECT_EQ(worker, std::min(before + brisfold::workerNiceIncrement, 19));
    EXPECT_EQ(niceOfThisThread(), before) << "the thread that started the worker keeps its priority";
}
