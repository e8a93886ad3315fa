#include "SqliteShell.h"

#include <QElapsedTimer>
#include <QFile>
#include <memory>
#include <stdexcept>
#include <thread>

namespace brisfold::test {

SqliteShell::SqliteShell(const QString &databasePath, const QString &script)
{
    start(databasePath, script);
}

void SqliteShell::start(const QString &databasePath, const QString &script)
{
    process_.start(QStringLiteral("sqlite3"),
                   {QStringLiteral("-batch"), QStringLiteral("-bail"), databasePath});
    if (!process_.waitForStarted(10000))
        throw std::runtime_error("the sqlite3 shell did not start: " + process_.errorString().toStdString());
    // The shell waits up to ten seconds on our locks, as the program does on its.
    process_.write(".timeout 10000\n");
    process_.write(script.toUtf8());
    process_.write("\n");
    // Without an event loop the script leaves only while we wait for it to be written.
    while (process_.bytesToWrite() > 0 && process_.waitForBytesWritten(10000)) {
    }
    process_.closeWriteChannel();
}

SqliteShell::~SqliteShell()
{
    if (!finished_ && !process_.waitForFinished(60000))
        process_.kill();
    process_.waitForFinished(5000);
}

std::unique_ptr<SqliteShell> SqliteShell::holdLock(const QString &databasePath,
                                                   std::chrono::milliseconds hold, const QString &sql)
{
    auto shell = std::unique_ptr<SqliteShell>(new SqliteShell);
    if (!shell->flags_.isValid())
        throw std::runtime_error("no temporary folder for the lock flag");
    // The flag is made inside the transaction, so once it exists the lock is held.
    const QString flag = shell->flags_.filePath(QStringLiteral("locked"));
    shell->start(databasePath,
                 QStringLiteral("BEGIN EXCLUSIVE;\n%1\n.shell touch %2\n.shell sleep %3\nCOMMIT;\n")
                     .arg(sql, flag, QString::number(double(hold.count()) / 1000.0, 'f', 3)));
    if (!shell->waitForFlag(flag, std::chrono::seconds(30)))
        throw std::runtime_error("the sqlite3 shell did not take the lock: " +
                                 QString::fromUtf8(shell->process_.readAllStandardError()).toStdString());
    return shell;
}

bool SqliteShell::waitForFlag(const QString &path, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path)) {
        if (timer.elapsed() > timeout.count() || process_.state() == QProcess::NotRunning)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool SqliteShell::finish(std::chrono::milliseconds timeout)
{
    if (!finished_) {
        finished_ = process_.waitForFinished(int(timeout.count()));
        errors_ += QString::fromUtf8(process_.readAllStandardError());
    }
    return finished_ && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0 &&
           errors_.isEmpty();
}

} // namespace brisfold::test
