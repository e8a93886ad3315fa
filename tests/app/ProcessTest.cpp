// Starts the real executable, as a user would, in a program folder of its own.
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

template <typename Condition> bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

class ProgramFolderFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        brisfold::test::TestDatabase::createAt(dir.path());
        ASSERT_TRUE(QFile::copy(QStringLiteral(BRISFOLD_EXECUTABLE), file("Brisfold")));
        QDir().mkpath(file("run"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), file("run"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), file("config"));
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), file("etc-xdg"));
    }

    void TearDown() override
    {
        for (QProcess *process : {&first, &other}) {
            if (process->state() != QProcess::NotRunning) {
                ::kill(pid_t(process->processId()), SIGCONT);
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QString file(const char *relative) const { return dir.filePath(QString::fromUtf8(relative)); }

    void start(QProcess &process, const char *name)
    {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QDir::tempPath()); // the working directory plays no part
        process.start(file(name), {});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // The running copy has taken its lock and made its window once its autostart entry exists.
    void startRunningCopy()
    {
        start(first, "Brisfold");
        // The machine's entry is written last.
        ASSERT_TRUE(
            waitFor([&] { return QFile::exists(file("etc-xdg/autostart/Brisfold.desktop")); }, 15000));
    }

    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess first;
    QProcess other;
};

} // namespace

TEST_F(ProgramFolderFixture, ASecondStartSignalsTheRunningCopyAndLeaves)
{
    startRunningCopy();
    EXPECT_TRUE(QFile::exists(file("config/autostart/Brisfold.desktop")));
    EXPECT_TRUE(QFileInfo(file("open")).isDir());

    // Hold the running copy still, so the signal file can be read before it is consumed.
    ::kill(pid_t(first.processId()), SIGSTOP);
    QProcess second;
    start(second, "Brisfold");
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second start leaves at once";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    QFile signal(file("open/open.ini"));
    ASSERT_TRUE(signal.open(QIODevice::ReadOnly));
    EXPECT_EQ(signal.readAll(), QByteArray("[Gestor]\r\nAbrir=1\r\n"));
    signal.close();

    ::kill(pid_t(first.processId()), SIGCONT);
    EXPECT_TRUE(waitFor([&] { return !QFile::exists(file("open/open.ini")); }, 5000))
        << "the running copy consumes the signal";
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(ProgramFolderFixture, ACopyUnderAnotherNameRunsAsItsOwnInstance)
{
    startRunningCopy();
    ASSERT_TRUE(QFile::copy(file("Brisfold"), file("Outro")));
    start(other, "Outro");
    EXPECT_FALSE(other.waitForFinished(2500)) << "it keeps running beside the first";
    EXPECT_FALSE(QFile::exists(file("open/open.ini")));
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
