#include "board/BoardQuery.h"
#include "support/SqliteShell.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>
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
                             {":DATAHORA", QStringLiteral("2026-12-10 10:00:00")},
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
        SCOPED_TRACE(c.what);
        Database db;
        QString error;
        EXPECT_FALSE(db.open(c.path, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(db.isOpen());
        try {
            db.query("SELECT * FROM EMPRESA");
            ADD_FAILURE() << "a statement on a closed connection must fail";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.text(), error);
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
