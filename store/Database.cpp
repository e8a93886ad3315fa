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

bool Rows::next()
{
    return statement_.executeStep();
}

int Rows::columnCount() const
{
    return statement_.getColumnCount();
}

QString Rows::columnName(int column) const
{
    return QString::fromUtf8(statement_.getColumnName(column));
}

int Rows::columnIndex(QStringView name) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (QStringView(columnName(i)).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant Rows::value(int column) const
{
    const SQLite::Column cell = statement_.getColumn(column);
    switch (cell.getType()) {
    case SQLITE_INTEGER:
        return qint64(cell.getInt64());
    case SQLITE_FLOAT:
        return cell.getDouble();
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(cell.getText(), cell.getBytes());
    }
}

QString Rows::text(int column) const
{
    const SQLite::Column cell = statement_.getColumn(column);
    if (cell.getType() == SQLITE_TEXT)
        return QString::fromUtf8(cell.getText(), cell.getBytes());
    return value(column).toString();
}

qint64 Rows::integer(int column) const
{
    return value(column).toLongLong();
}

namespace {

// Every statement commits on its own. With the rollback journal each commit creates, syncs
// and deletes a journal file; the write-ahead log appends to one file and syncs it once. The
// synchronous level stays FULL, so a commit, such as an order's courier mark, survives a power
// cut. Where the log cannot be set up (a read-only folder, another process in a transaction)
// the file keeps the journal it has.
void useWriteAheadLog(SQLite::Database &db)
{
    try {
        db.exec("PRAGMA journal_mode = WAL");
    } catch (const SQLite::Exception &) {
    }
    db.exec("PRAGMA synchronous = FULL");
}

} // namespace

// A statement prepared once and kept, since a check runs the same few statements for every
// order. While the kept one is in use further up the stack, a fresh one is prepared instead.
// Released reset and unbound, so it holds neither a lock nor the values.
class Database::Lease final
{
public:
    Lease(Database &db, const char *sql)
    {
        Prepared &slot = db.statements_[sql];
        if (slot.inUse) {
            own_ = std::make_unique<SQLite::Statement>(db.connection(), sql);
            statement_ = own_.get();
            return;
        }
        if (!slot.statement)
            slot.statement = std::make_unique<SQLite::Statement>(db.connection(), sql);
        slot.inUse = true;
        slot_ = &slot;
        statement_ = slot.statement.get();
    }
    ~Lease()
    {
        statement_->tryReset();
        try {
            statement_->clearBindings();
        } catch (...) {
            // Only the values bound to a statement already reset; the next use binds anew.
        }
        if (slot_)
            slot_->inUse = false;
    }
    Lease(const Lease &) = delete;
    Lease &operator=(const Lease &) = delete;

    SQLite::Statement &statement() { return *statement_; }

private:
    Prepared *slot_ = nullptr;
    std::unique_ptr<SQLite::Statement> own_;
    SQLite::Statement *statement_ = nullptr;
};

Database::Database() = default;
Database::~Database() = default;

bool Database::open(const QString &path, QString *error)
{
    return openWith(path, false, error);
}

bool Database::openReadOnly(const QString &path, QString *error)
{
    return openWith(path, true, error);
}

bool Database::openWith(const QString &path, bool readOnly, QString *error)
{
    std::lock_guard lock(mutex_);
    statements_.clear();
    db_.reset();
    path_ = path;
    try {
        auto db = std::make_unique<SQLite::Database>(path.toStdString(), readOnly ? SQLite::OPEN_READONLY
                                                                                  : SQLite::OPEN_READWRITE);
        db->setBusyTimeout(int(busyTimeout_.count()));
        db->exec("PRAGMA locking_mode = NORMAL");
        if (!readOnly)
            useWriteAheadLog(*db);
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
        Lease lease(*this, sql);
        bindAll(lease.statement(), params);
        return lease.statement().exec();
    } catch (const SQLite::Exception &e) {
        throw DatabaseError(e.what());
    }
}

ResultSet Database::query(const char *sql, std::initializer_list<SqlParam> params)
{
    QStringList columns;
    std::vector<QVariant> cells;
    read(sql, params, [&](Rows &rows) {
        const int columnCount = rows.columnCount();
        columns.reserve(columnCount);
        for (int i = 0; i < columnCount; ++i)
            columns.append(rows.columnName(i));
        while (rows.next()) {
            for (int i = 0; i < columnCount; ++i)
                cells.push_back(rows.value(i));
        }
    });
    return ResultSet(std::move(columns), std::move(cells));
}

bool Database::hasRow(const char *sql, std::initializer_list<SqlParam> params)
{
    bool found = false;
    read(sql, params, [&found](Rows &rows) { found = rows.next(); });
    return found;
}

void Database::read(const char *sql, std::initializer_list<SqlParam> params,
                    const std::function<void(Rows &)> &reader)
{
    std::lock_guard lock(mutex_);
    try {
        Lease lease(*this, sql);
        bindAll(lease.statement(), params);
        Rows rows(lease.statement());
        reader(rows);
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
