#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

namespace brisfold::test {

// Another process on the program's database file: the sqlite3 command-line shell running a
// script. Its locks are a real second process's locks, not a second connection of ours.
class SqliteShell final
{
public:
    SqliteShell(const QString &databasePath, const QString &script);
    // Waits for the shell to end, so no lock outlives the test.
    ~SqliteShell();
    SqliteShell(const SqliteShell &) = delete;
    SqliteShell &operator=(const SqliteShell &) = delete;

    // Takes the exclusive lock, runs `sql` inside that transaction, holds the lock for `hold`
    // and commits. Returns once the lock is taken.
    static std::unique_ptr<SqliteShell> holdLock(const QString &databasePath, std::chrono::milliseconds hold,
                                                 const QString &sql = {});

    // True when the script ran to its end without an error.
    bool finish(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    QString errors() const { return errors_; }

private:
    SqliteShell() = default;
    void start(const QString &databasePath, const QString &script);
    bool waitForFlag(const QString &path, std::chrono::milliseconds timeout);

    QProcess process_;
    QTemporaryDir flags_;
    QString errors_;
    bool finished_ = false;
};

} // namespace brisfold::test
