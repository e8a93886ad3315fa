#include "board/BoardQuery.h"
#include "support/SqliteShell.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <SQLiteCpp/SQLiteCpp.h>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <sqlite3.h>
#include <thread>

using brisfold::Database;
using brisfold::DatabaseError;
using brisfold::test::SqliteShell;
using brisfold::test::TestDatabase;
using namespace std::chrono_literals;

namespace {

const char *insertOrder =
    "INSERT INTO PEDIDOS (ORIGEM,DATAHORA,IDPEDIDO,VALUE,CLIENTE,TELEFONE,ENDERECO,LATITUDE,LONGITUDE)\n"
    " VALUES (:ORIGEM,:DATAHORA,:IDPEDIDO,:VALUE,:CLIENTE,:TELEFONE,:ENDERECO,:LATITUDE,:LONGITUDE) ";

void insert(Database &db, const QString &id)
{
    db.execute(insertOrder, {{":ORIGEM", qint64(1)},
                             // Now, so the board's last-13-hours window holds it on any day.
                             {":DATAHORA", QDateTime::currentDateTimeUtc().toString(u"yyyy-MM-dd HH:mm:ss")},
                             {":IDPEDIDO", id},
                             {":VALUE", QString()},
                             {":CLIENTE", QStringLiteral("Ana Souza")},
                             {":TELEFONE", QStringLiteral("44999990000")},
                             {":ENDERECO", QStringLiteral("Rua São João, 12")},
                             {":LATITUDE", QStringLiteral("-23.4")},
                             {":LONGITUDE", QStringLiteral("-51.9")}});
}

// The board's rows, as the refresh reads them.
std::vector<brisfold::OrderRow> board(Database &db)
{
    return brisfold::readOrderRows(db);
}

// The system's file layer with one change: a sync of a write-ahead log, once armed, stops until
// released, as a commit on a slow disk does. Connections opened while it exists use it.
class SyncGate final
{
public:
    SyncGate()
        : real_(sqlite3_vfs_find(nullptr))
    {
        instance_ = this;
        vfs_ = *real_;
        vfs_.zName = "sync-gate";
        vfs_.szOsFile = int(sizeof(File)) + real_->szOsFile;
        vfs_.xOpen = open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~SyncGate()
    {
        release();
        sqlite3_vfs_register(real_, 1);
        sqlite3_vfs_unregister(&vfs_);
        instance_ = nullptr;
    }
    SyncGate(const SyncGate &) = delete;
    SyncGate &operator=(const SyncGate &) = delete;

    void arm()
    {
        std::lock_guard lock(mutex_);
        armed_ = true;
    }
    // Until a log sync has begun and is held.
    bool waitUntilHeld(std::chrono::seconds timeout)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return held_.load(); });
    }
    void release()
    {
        {
            std::lock_guard lock(mutex_);
            armed_ = false;
        }
        changed_.notify_all();
    }

private:
    struct File
    {
        sqlite3_file base;
        sqlite3_file *real;
        bool log;
    };

    static sqlite3_file *real(sqlite3_file *file) { return reinterpret_cast<File *>(file)->real; }

    static int open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
    {
        auto *own = reinterpret_cast<File *>(file);
        own->real = reinterpret_cast<sqlite3_file *>(own + 1);
        own->log = (flags & SQLITE_OPEN_WAL) != 0;
        const int rc = instance_->real_->xOpen(instance_->real_, name, own->real, flags, outFlags);
        own->base.pMethods = own->real->pMethods ? &methods : nullptr;
        return rc;
    }

    static int sync(sqlite3_file *file, int flags)
    {
        if (reinterpret_cast<File *>(file)->log) {
            std::unique_lock lock(instance_->mutex_);
            if (instance_->armed_) {
                instance_->held_ = true;
                instance_->changed_.notify_all();
                instance_->changed_.wait(lock, [] { return !instance_->armed_.load(); });
                instance_->held_ = false;
            }
        }
        return real(file)->pMethods->xSync(real(file), flags);
    }

    static constexpr sqlite3_io_methods methods = {
        3,
        [](sqlite3_file *f) { return real(f)->pMethods->xClose(real(f)); },
        [](sqlite3_file *f, void *b, int n, sqlite3_int64 o) {
            return real(f)->pMethods->xRead(real(f), b, n, o);
        },
        [](sqlite3_file *f, const void *b, int n, sqlite3_int64 o) {
            return real(f)->pMethods->xWrite(real(f), b, n, o);
        },
        [](sqlite3_file *f, sqlite3_int64 n) { return real(f)->pMethods->xTruncate(real(f), n); },
        sync,
        [](sqlite3_file *f, sqlite3_int64 *n) { return real(f)->pMethods->xFileSize(real(f), n); },
        [](sqlite3_file *f, int l) { return real(f)->pMethods->xLock(real(f), l); },
        [](sqlite3_file *f, int l) { return real(f)->pMethods->xUnlock(real(f), l); },
        [](sqlite3_file *f, int *r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); },
        [](sqlite3_file *f, int op, void *a) { return real(f)->pMethods->xFileControl(real(f), op, a); },
        [](sqlite3_file *f) { return real(f)->pMethods->xSectorSize(real(f)); },
        [](sqlite3_file *f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
        [](sqlite3_file *f, int p, int s, int e, void volatile **m) {
            return real(f)->pMethods->xShmMap(real(f), p, s, e, m);
        },
        [](sqlite3_file *f, int o, int n, int l) { return real(f)->pMethods->xShmLock(real(f), o, n, l); },
        [](sqlite3_file *f) { real(f)->pMethods->xShmBarrier(real(f)); },
        [](sqlite3_file *f, int d) { return real(f)->pMethods->xShmUnmap(real(f), d); },
        [](sqlite3_file *f, sqlite3_int64 o, int n, void **p) {
            return real(f)->pMethods->xFetch(real(f), o, n, p);
        },
        [](sqlite3_file *f, sqlite3_int64 o, void *p) { return real(f)->pMethods->xUnfetch(real(f), o, p); },
    };

    static inline SyncGate *instance_ = nullptr;
    sqlite3_vfs *real_;
    sqlite3_vfs vfs_{};
    std::mutex mutex_;
    std::condition_variable changed_;
    // Atomic as well as guarded: the thread sanitizer does not see the hand-over inside the
    // library's condition-variable wait, and would report these flags otherwise.
    std::atomic<bool> armed_ = false;
    std::atomic<bool> held_ = false;
};

// The orders of the board, in its order.
QString boardIds(Database &db)
{
    QStringList ids;
    for (const auto &row : board(db))
        ids << row.IDPEDIDO;
    return ids.join(u',');
}

// Reads the board on another thread while a writer is held, then lets the writer go: the
// orders read, in board order, or what kept the read from them. A read still waiting after a
// minute is long past any wait the engine would give up on.
QString readWhileHeld(Database &db, const std::function<void()> &letWriterGo)
{
    auto read = std::async(std::launch::async, [&db] {
        try {
            return boardIds(db);
        } catch (const DatabaseError &e) {
            return QStringLiteral("failed: ") + e.text();
        }
    });
    const bool done = read.wait_for(60s) == std::future_status::ready;
    letWriterGo();
    const QString result = read.get();
    return done ? result : QStringLiteral("waited for the writer");
}

const QString otherProcessOrder =
    QStringLiteral("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, DATAHORA) "
                   "VALUES (1, 'outro', strftime('%Y-%m-%d %H:%M:%S', 'now'));");

} // namespace

TEST(Database, OpeningFailsWithTheEnginesTextAndStatementsThenFail)
{
    QTemporaryDir dir;
    struct Case
    {
        const char *what;
        QString path;
    };
    QFile garbage(dir.filePath(QStringLiteral("garbage.db")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    const Case cases[] = {{"missing file", dir.filePath(QStringLiteral("BD/BANCO.db"))},
                          {"not a database", garbage.fileName()}};
    for (const Case &c : cases) {
        for (const bool readOnly : {false, true}) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE(readOnly ? "read-only" : "read-write");
            Database db;
            QString error;
            EXPECT_FALSE(readOnly ? db.openReadOnly(c.path, &error) : db.open(c.path, &error));
            EXPECT_FALSE(error.isEmpty());
            EXPECT_FALSE(db.isOpen());
            try {
                db.query("SELECT * FROM EMPRESA");
                ADD_FAILURE() << "a statement on a closed connection must fail";
            } catch (const DatabaseError &e) {
                EXPECT_EQ(e.text(), error);
            }
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("BD/BANCO.db"))))
        << "opening must not create a file";
}

TEST(Database, BindsTextAsTextAndKeysAsIntegers)
{
    TestDatabase t;
    insert(t.db(), QStringLiteral("00123"));
    const auto rows =
        t.db().query("SELECT typeof(ORIGEM) AS O, typeof(IDPEDIDO) AS I, IDPEDIDO, ID_MCH, CLIENTE, "
                     "typeof(ID) AS K FROM PEDIDOS WHERE ORIGEM = 1 AND IDPEDIDO = :IDPEDIDO",
                     {{":IDPEDIDO", QStringLiteral("00123")}});
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(rows.text(0, u"O"), QStringLiteral("integer"));
    EXPECT_EQ(rows.text(0, u"I"), QStringLiteral("text"));
    EXPECT_EQ(rows.text(0, u"K"), QStringLiteral("integer"));
    EXPECT_EQ(rows.text(0, u"IDPEDIDO"), QStringLiteral("00123")) << "leading zeros kept";
    EXPECT_TRUE(rows.isNull(0, u"ID_MCH")) << "an imported order starts open";
    EXPECT_EQ(rows.text(0, u"ID_MCH"), QString());
    EXPECT_EQ(rows.text(0, u"CLIENTE"), QStringLiteral("Ana Souza"));
    EXPECT_THROW(rows.text(0, u"NAOEXISTE"), DatabaseError);
}

TEST(Database, AFailingStatementRaisesTheEnginesMessage)
{
    TestDatabase t;
    try {
        t.db().execute("DELETE FROM TABELA_QUE_NAO_EXISTE");
        FAIL();
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("no such table"))) << e.what();
    }
}

TEST(Database, ATransactionThatFailsLeavesTheTableAsItWas)
{
    TestDatabase t;
    t.db().execute("INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO) VALUES ('PADRAO',1)");
    EXPECT_THROW(t.db().transaction([&] {
        t.db().execute("DELETE FROM CONFIGURACAO");
        t.db().execute("INSERT INTO CONFIGURACAO (COLUNA_QUE_NAO_EXISTE) VALUES (1)");
    }),
                 DatabaseError);
    EXPECT_EQ(t.db().query("SELECT * FROM CONFIGURACAO").rowCount(), 1);
    // The connection is usable afterwards.
    t.db().transaction([&] { t.db().execute("DELETE FROM CONFIGURACAO"); });
    EXPECT_TRUE(t.db().query("SELECT * FROM CONFIGURACAO").isEmpty());
}

TEST(Database, TwoThreadsShareTheConnectionOneStatementAtATime)
{
    TestDatabase t;
    constexpr int perThread = 300;
    auto work = [&](const QString &prefix, int *seen) {
        for (int i = 0; i < perThread; ++i) {
            insert(t.db(), prefix + QString::number(i));
            *seen = t.db().query("SELECT * FROM PEDIDOS").rowCount();
        }
    };
    int seenA = 0;
    int seenB = 0;
    std::thread a(work, QStringLiteral("A"), &seenA);
    std::thread b(work, QStringLiteral("B"), &seenB);
    a.join();
    b.join();
    EXPECT_EQ(t.db().query("SELECT * FROM PEDIDOS").rowCount(), 2 * perThread);
    EXPECT_EQ(std::max(seenA, seenB), 2 * perThread);
}

TEST(Database, OtherProcessesMayUseTheFileBetweenStatements)
{
    TestDatabase t;
    insert(t.db(), QStringLiteral("1"));
    // Normal locking: a second connection (as another process would) writes while ours is open.
    SQLite::Database other(t.path().toStdString(), SQLite::OPEN_READWRITE);
    other.exec("UPDATE PEDIDOS SET ID_MCH = 'MACHINE'");
    EXPECT_EQ(t.db().query("SELECT ID_MCH FROM PEDIDOS").text(0, u"ID_MCH"), QStringLiteral("MACHINE"));
}

TEST(Database, CommitsGoToAWriteAheadLogSyncedAtEveryCommitAndAsPrivateAsTheFile)
{
    TestDatabase t;
    QFile::setPermissions(t.path(), QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(t.db().open(t.path()));
    insert(t.db(), QStringLiteral("1"));

    EXPECT_EQ(t.db().query("PRAGMA journal_mode").text(0, u"journal_mode"), QStringLiteral("wal"));
    // FULL: a courier mark, once written, survives a power cut.
    EXPECT_EQ(t.db().query("PRAGMA synchronous").integer(0, u"synchronous"), 2);
    for (const char *suffix : {"-wal", "-shm"}) {
        SCOPED_TRACE(suffix);
        const QString path = t.path() + QLatin1String(suffix);
        ASSERT_TRUE(QFile::exists(path));
        EXPECT_EQ(QFile::permissions(path), QFile::permissions(t.path()));
    }
}

TEST(Database, KeptStatementsHoldNeitherASnapshotNorAFailureBetweenUses)
{
    TestDatabase t;
    insert(t.db(), QStringLiteral("1"));
    insert(t.db(), QStringLiteral("2"));
    const char *anyOrder = "SELECT * FROM PEDIDOS";
    // Stops after the first of two rows, leaving the statement mid-way.
    EXPECT_TRUE(t.db().hasRow(anyOrder));

    SQLite::Database other(t.path().toStdString(), SQLite::OPEN_READWRITE);
    other.exec("UPDATE PEDIDOS SET ID_MCH = 'MACHINE'");
    EXPECT_EQ(t.db().query("SELECT * FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").rowCount(), 2)
        << "a later read sees the other connection's write";

    // The same statement used again while in use further up the stack.
    int outer = 0;
    int inner = 0;
    t.db().read(anyOrder, {}, [&](brisfold::Rows &rows) {
        while (rows.next()) {
            ++outer;
            inner = t.db().query(anyOrder).rowCount();
        }
    });
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(inner, 2);

    // A statement that failed runs afresh with the next values.
    EXPECT_THROW(
        t.db().execute(insertOrder, {{":ORIGEM", std::monostate()}, {":IDPEDIDO", QStringLiteral("x")}}),
        DatabaseError)
        << "ORIGEM is not null";
    EXPECT_THROW(t.db().execute(insertOrder, {{":ORIGEM", qint64(1)}}), DatabaseError)
        << "the failed use's IDPEDIDO is not kept";
    insert(t.db(), QStringLiteral("3"));
    EXPECT_EQ(t.db().query(anyOrder).rowCount(), 3);
}

TEST(Database, AnotherProcessHoldingTheLockForSecondsIsWaitedFor)
{
    TestDatabase t;
    const auto shell = SqliteShell::holdLock(t.path(), 3s, otherProcessOrder);

    QElapsedTimer timer;
    timer.start();
    // A reader is not held up by the other process's write: it sees what was committed.
    EXPECT_TRUE(board(t.db()).empty());
    insert(t.db(), QStringLiteral("nosso"));

    EXPECT_GE(timer.elapsed(), 2000) << "the write waited for the lock";
    EXPECT_TRUE(shell->finish()) << shell->errors().toStdString();
    const auto rows = board(t.db());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.back().IDPEDIDO, QStringLiteral("outro"));
    EXPECT_EQ(rows.front().IDPEDIDO, QStringLiteral("nosso"));
}

TEST(Database, ALockHeldPastTheBusyTimeOutFailsWithTheEnginesTextAndLosesNothing)
{
    TestDatabase t;
    t.db().setBusyTimeout(1s);
    insert(t.db(), QStringLiteral("antes"));
    const auto shell = SqliteShell::holdLock(t.path(), 3s, otherProcessOrder);

    QElapsedTimer timer;
    timer.start();
    try {
        insert(t.db(), QStringLiteral("durante"));
        ADD_FAILURE() << "the insert must give up after the busy time-out";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("database is locked"));
    }
    EXPECT_GE(timer.elapsed(), 900);
    EXPECT_LT(timer.elapsed(), 2900) << "the statement waits its busy time-out, not for the lock";
    const auto rows = board(t.db());
    ASSERT_EQ(rows.size(), 1u) << "the board still reads what was committed";
    EXPECT_EQ(rows.front().IDPEDIDO, QStringLiteral("antes"));

    ASSERT_TRUE(shell->finish()) << shell->errors().toStdString();
    insert(t.db(), QStringLiteral("depois"));
    EXPECT_NO_THROW(board(t.db()));
    const auto ids = t.db().query("SELECT IDPEDIDO FROM PEDIDOS ORDER BY ID");
    ASSERT_EQ(ids.rowCount(), 3);
    EXPECT_EQ(ids.text(0, u"IDPEDIDO"), QStringLiteral("antes"));
    EXPECT_EQ(ids.text(1, u"IDPEDIDO"), QStringLiteral("outro"));
    EXPECT_EQ(ids.text(2, u"IDPEDIDO"), QStringLiteral("depois"));
}

TEST(Database, AReadOnlyConnectionReadsWhileTheWriterHoldsATransactionOrSyncsACommit)
{
    TestDatabase t;
    insert(t.db(), QStringLiteral("antes"));
    Database reader;
    ASSERT_TRUE(reader.openReadOnly(t.path()));
    EXPECT_EQ(reader.query("PRAGMA journal_mode").text(0, u"journal_mode"), QStringLiteral("wal"))
        << "the writer switched the file to the log";

    {
        SCOPED_TRACE("a write transaction held open");
        std::promise<void> begun, commit;
        std::thread writer([&] {
            t.db().transaction([&] {
                insert(t.db(), QStringLiteral("transacao"));
                begun.set_value();
                commit.get_future().wait();
            });
        });
        begun.get_future().wait();
        EXPECT_EQ(readWhileHeld(reader, [&] { commit.set_value(); }), QStringLiteral("antes"));
        writer.join();
    }
    {
        SCOPED_TRACE("a commit being synced");
        SyncGate gate;
        Database writer;
        ASSERT_TRUE(writer.open(t.path()));
        gate.arm();
        std::thread commit([&] { insert(writer, QStringLiteral("sincronizando")); });
        const bool held = gate.waitUntilHeld(60s);
        EXPECT_TRUE(held) << "the commit syncs its log";
        EXPECT_EQ(readWhileHeld(reader, [&] { gate.release(); }), QStringLiteral("transacao,antes"));
        commit.join();
    }
    EXPECT_EQ(boardIds(reader), QStringLiteral("sincronizando,transacao,antes"));

    try {
        insert(reader, QStringLiteral("pelo leitor"));
        ADD_FAILURE() << "a write through the read-only connection must fail";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("readonly"))) << e.what();
    }
    EXPECT_EQ(t.db().query("SELECT * FROM PEDIDOS").rowCount(), 3);
}
