#include "store/Database.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

namespace brisfold {

ResultSet::ResultSet(QStringList columns, std::vector<QVariant> cells)
    : columns_(std::move(columns))
    , cells_(std::move(cells))
{}

int ResultSet::columnIndex(QStringView name) const
{
    for (int i = 0; i < columns_.size(); ++i) {
        if (QStringView(columns_.at(i)).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const QVariant &ResultSet::value(int row, int column) const
{
    static const QVariant null;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_.size())
        return null;
    return cells_[size_t(row) * size_t(columns_.size()) + size_t(column)];
}

QVariant ResultSet::value(int row, QStringView column) const
{
    const int index = columnIndex(column);
    if (index < 0)
        throw DatabaseError("Campo '" + column.toString().toStdString() + "' não encontrado");
    return value(row, index);
}

QString ResultSet::text(int row, QStringView column) const
{
    return value(row, column).toString();
}

qint64 ResultSet::integer(int row, QStringView column) const
{
    return value(row, column).toLongLong();
}

bool ResultSet::isNull(int row, QStringView column) const
{
    return value(row, column).isNull();
}

Database::Database() = default;
Database::~Database() = default;

bool Database::open(const QString &path, QString *error)
{
    std::lock_guard lock(mutex_);
    db_.reset();
    path_ = path;
    try {
        auto db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE);
        db->setBusyTimeout(int(busyTimeout_.count()));
        db->exec("PRAGMA locking_mode = NORMAL");
        // SQLite opens lazily; reading the catalogue finds a damaged or foreign file now.
        db->execAndGet("SELECT count(*) FROM sqlite_master");
        db_ = std::move(db);
        openError_.clear();
        return true;
    } catch (const std::exception &e) {
        openError_ = QString::fromUtf8(e.what());
        if (error)
            *error = openError_;
        return false;
    }
}

bool Database::isOpen() const
{
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

QString Database::path() const
{
    std::lock_guard lock(mutex_);
    return path_;
}

void Database::setBusyTimeout(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(mutex_);
    busyTimeout_ = timeout;
    if (db_)
        db_->setBusyTimeout(int(timeout.count()));
}

SQLite::Database &Database::connection()
{
    if (!db_) {
        const QString reason = openError_.isEmpty() ? QStringLiteral("database is not open") : openError_;
        throw DatabaseError(reason.toStdString());
    }
    return *db_;
}

namespace {

void bindAll(SQLite::Statement &statement, std::initializer_list<SqlParam> params)
{
    for (const SqlParam &param : params) {
        if (std::holds_alternative<qint64>(param.value)) {
            statement.bind(param.name, static_cast<int64_t>(std::get<qint64>(param.value)));
        } else if (const QString *text = std::get_if<QString>(&param.value)) {
            statement.bind(param.name, text->toStdString());
        } else {
            statement.bind(param.name);
        }
    }
}

} // namespace

int Database::execute(const char *sql, std::initializer_list<SqlParam> params)
{
    std::lock_guard lock(mutex_);
    try {
        SQLite::Statement statement(connection(), sql);
        bindAll(statement, params);
        return statement.exec();
    } catch (const SQLite::Exception &e) {
        throw DatabaseError(e.what());
    }
}

ResultSet Database::query(const char *sql, std::initializer_list<SqlParam> params)
{
    std::lock_guard lock(mutex_);
    try {
        SQLite::Statement statement(connection(), sql);
        bindAll(statement, params);
        const int columnCount = statement.getColumnCount();
        QStringList columns;
        columns.reserve(columnCount);
        for (int i = 0; i < columnCount; ++i)
            columns.append(QString::fromUtf8(statement.getColumnName(i)));
        std::vector<QVariant> cells;
        while (statement.executeStep()) {
            for (int i = 0; i < columnCount; ++i) {
                const SQLite::Column column = statement.getColumn(i);
                const int type = column.getType();
                if (type == SQLITE_INTEGER)
                    cells.emplace_back(qint64(column.getInt64()));
                else if (type == SQLITE_FLOAT)
                    cells.emplace_back(column.getDouble());
                else if (type == SQLITE_NULL)
                    cells.emplace_back();
                else
                    cells.emplace_back(QString::fromUtf8(column.getText(), column.getBytes()));
            }
        }
        return ResultSet(std::move(columns), std::move(cells));
    } catch (const SQLite::Exception &e) {
        throw DatabaseError(e.what());
    }
}

void Database::rollback() noexcept
{
    try {
        if (db_)
            db_->exec("ROLLBACK");
    } catch (...) {
        // Nothing more can be done; the transaction ends with the connection's next use.
    }
}

} // namespace brisfold
