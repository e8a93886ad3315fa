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
    return brisfold::readOrderRows(db.query(brisfold::FDQueryPedidosSql));
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

TEST(Database, AnotherProcessHoldingTheLockForSecondsIsWaitedFor)
{
    TestDatabase t;
    const auto shell = SqliteShell::holdLock(t.path(), 3s, otherProcessOrder);

    QElapsedTimer timer;
    timer.start();
    const auto rows = board(t.db());
    insert(t.db(), QStringLiteral("nosso"));

    EXPECT_GE(timer.elapsed(), 2000) << "the statements waited for the lock";
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front().IDPEDIDO, QStringLiteral("outro"));
    EXPECT_TRUE(shell->finish()) << shell->errors().toStdString();
    EXPECT_EQ(t.db().query("SELECT * FROM PEDIDOS").rowCount(), 2);
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
    EXPECT_THROW(board(t.db()), DatabaseError);
    EXPECT_GE(timer.elapsed(), 1500);
    EXPECT_LT(timer.elapsed(), 2900) << "each statement waits its busy time-out, not for the lock";

    ASSERT_TRUE(shell->finish()) << shell->errors().toStdString();
    insert(t.db(), QStringLiteral("depois"));
    EXPECT_NO_THROW(board(t.db()));
    const auto ids = t.db().query("SELECT IDPEDIDO FROM PEDIDOS ORDER BY ID");
    ASSERT_EQ(ids.rowCount(), 3);
    EXPECT_EQ(ids.text(0, u"IDPEDIDO"), QStringLiteral("antes"));
    EXPECT_EQ(ids.text(1, u"IDPEDIDO"), QStringLiteral("outro"));
    EXPECT_EQ(ids.text(2, u"IDPEDIDO"), QStringLiteral("depois"));
}
