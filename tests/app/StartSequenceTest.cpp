#include "app/StartSequence.h"

#include "platform/LinuxPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace brisfold;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(StartSequence, FirstStartMakesTheSignalFolderAndASecondStartSignals)
{
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    const ProgramFolder folder(dir.filePath(QStringLiteral("programa")));
    LinuxPlatform platform;

    const InstanceClaim first = claimInstance(platform, folder, QStringLiteral("Brisfold"));
    EXPECT_EQ(first.role, StartRole::RunningCopy);
    EXPECT_TRUE(QFileInfo(folder.signalFolder()).isDir());
    EXPECT_FALSE(QFile::exists(folder.signalFile()));

    // A copy under another file name is an instance of its own.
    EXPECT_EQ(claimInstance(platform, folder, QStringLiteral("Outro")).role, StartRole::RunningCopy);

    // Two second starts, the first one's file still there: one section, one key.
    for (int i = 0; i < 2; ++i) {
        const InstanceClaim second = claimInstance(platform, folder, QStringLiteral("Brisfold"));
        EXPECT_EQ(second.role, StartRole::SecondStart);
        EXPECT_EQ(second.signalError, QString());
        EXPECT_EQ(readAll(folder.signalFile()), QByteArray("[Gestor]\r\nAbrir=1\r\n"));
    }
}

TEST(StartSequence, ASecondStartReportsASignalFileThatCannotBeWritten)
{
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    // A plain file named "open" stops the signal folder from being made.
    const ProgramFolder folder(dir.path());
    QFile blocker(folder.signalFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LinuxPlatform platform;

    EXPECT_EQ(claimInstance(platform, folder, QStringLiteral("Brisfold")).role, StartRole::RunningCopy);
    const InstanceClaim second = claimInstance(platform, folder, QStringLiteral("Brisfold"));
    EXPECT_EQ(second.role, StartRole::SecondStart);
    EXPECT_NE(second.signalError, QString());
}
