#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

namespace brisfold {

// A value bound to a named parameter: null, an integer or a text.
using SqlValue = std::variant<std::monostate, qint64, QString>;

struct SqlParam
{
    const char *name; // with its leading colon, as written in the statement
    SqlValue value;
};

// A failed statement or a failed opening; what() is the engine's own text.
class DatabaseError final : public std::runtime_error
{
public:
    explicit DatabaseError(const std::string &message)
        : std::runtime_error(message)
    {}
    QString text() const { return QString::fromUtf8(what()); }
};

// The rows of one query, read completely while the connection was locked.
class ResultSet final
{
public:
    ResultSet() = default;
    ResultSet(QStringList columns, std::vector<QVariant> cells);

    int rowCount() const { return columns_.isEmpty() ? 0 : int(cells_.size() / size_t(columns_.size())); }
    bool isEmpty() const { return rowCount() == 0; }
    const QStringList &columns() const { return columns_; }
    int columnIndex(QStringView name) const; // -1 when absent

    const QVariant &value(int row, int column) const;
    QVariant value(int row, QStringView column) const;
    // The value as text; null reads as the empty text.
    QString text(int row, QStringView column) const;
    qint64 integer(int row, QStringView column) const;
    bool isNull(int row, QStringView column) const;

private:
    QStringList columns_;
    std::vector<QVariant> cells_;
};

// The rows of a statement as it is stepped, for readers that keep only what they need of each
// row. Valid only inside the reader it is handed to; its errors leave Database::read as
// DatabaseError.
class Rows final
{
public:
    explicit Rows(SQLite::Statement &statement)
        : statement_(statement)
    {}

    // Steps to the next row; false once they are all read.
    bool next();
    int columnCount() const;
    QString columnName(int column) const;
    int columnIndex(QStringView name) const; // -1 when absent
    // The current row's values, typed as ResultSet keeps them.
    QVariant value(int column) const;
    // The value as text; null reads as the empty text.
    QString text(int column) const;
    qint64 integer(int column) const;

private:
    SQLite::Statement &statement_;
};

// A connection to the program's database file. Every statement, with the reading of its
// result, runs under one lock, so the UI thread and a worker can share it. The program writes
// through one connection only; a reader that must not wait behind the writer's commits opens
// one of its own read-only.
class Database final
{
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens an existing file with normal locking and a busy time-out. On failure the
    // connection stays closed and the engine's text is returned.
    bool open(const QString &path, QString *error = nullptr);
    // The same for a connection that only reads; every write through it fails. In the
    // write-ahead log, which the writer switches on, a read sees the last commit and waits
    // neither for a write transaction nor for a commit being synced.
    bool openReadOnly(const QString &path, QString *error = nullptr);
    bool isOpen() const;
    QString path() const;

    // How long a statement waits on another process's lock before it fails; for the open
    // connection and every later opening.
    void setBusyTimeout(std::chrono::milliseconds timeout);

    // Both throw DatabaseError.
    int execute(const char *sql, std::initializer_list<SqlParam> params = {});
    ResultSet query(const char *sql, std::initializer_list<SqlParam> params = {});
    // Whether the query yields a row; stops at the first.
    bool hasRow(const char *sql, std::initializer_list<SqlParam> params = {});
    // Hands the statement's rows to `reader` under the lock, without keeping them.
    void read(const char *sql, std::initializer_list<SqlParam> params,
              const std::function<void(Rows &)> &reader);

    // Runs the statements of `work` as one transaction, holding the lock throughout, so a
    // failure leaves the tables as they were.
    template <typename Work> void transaction(Work &&work)
    {
        std::lock_guard lock(mutex_);
        execute("BEGIN IMMEDIATE");
        try {
            work();
            execute("COMMIT");
        } catch (...) {
            rollback();
            throw;
        }
    }

    static constexpr std::chrono::milliseconds defaultBusyTimeout{10000};

private:
    class Lease;
    struct Prepared
    {
        std::unique_ptr<SQLite::Statement> statement;
        bool inUse = false;
    };

    bool openWith(const QString &path, bool readOnly, QString *error);
    SQLite::Database &connection();
    void rollback() noexcept;

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<SQLite::Database> db_;
    // Declared after the connection, so they are finalized before it closes.
    std::unordered_map<std::string, Prepared> statements_;
    QString path_;
    QString openError_;
    std::chrono::milliseconds busyTimeout_ = defaultBusyTimeout;
};

} // namespace brisfold
