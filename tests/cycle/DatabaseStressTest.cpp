#include "CycleFixture.h"
#include "board/BoardQuery.h"
#include "support/ReadOnlyFolder.h"
#include "support/SqliteShell.h"

#include <QFileInfo>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

using namespace brisfold;
using namespace brisfold::test;
using namespace std::chrono_literals;

namespace {

QByteArray orderSummary(const QByteArray &id)
{
    return R"({"order_id":")" + id +
           R"(","created_at":"2024-03-15 13:30:00","is_read":true,"is_ready":false,"order_is_pickup":false})";
}

FakeReply orderDetail()
{
    return FakeReply::json(
        R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,"is_delivered":false,)"
        R"("created_at":"2024-03-15 13:30:00","user":{"name":"Ana","surname":"S","address":{"street_name":"R",)"
        R"("number":"1","complement":"","reference":"","phone":"44","mobile_phone":"","city_name":"C",)"
        R"("state_uf":"PR","latitude":"-23","longitude":"-51"}}}})");
}

} // namespace

TEST_F(CycleTest, ALockedDatabaseDuringACheckIsWaitedForOrReportedAndTheNextCheckRecovers)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    marketplace.setReply(
        "GET", "/alfredo/orders/search",
        FakeReply::json(R"({"data":[)" + orderSummary("L1") + "," + orderSummary("L2") + "]}"));
    marketplace.setDefaultReply(orderDetail());
    const struct
    {
        const char *what;
        const char *lockedAt; // the activity text at which the other process takes the lock
        std::chrono::milliseconds busyTimeout;
        QString result;
        bool reported; // the result is also the notice
        int imported;
    } cases[] = {
        {"three seconds, waited out", "Verificando token", Database::defaultBusyTimeout,
         QStringLiteral("Aiqfome conectado"), false, 2},
        {"past the busy time-out, storing the token", "Verificando token", 1s,
         QStringLiteral("database is locked"), true, 0},
        // The look-up reads what was committed; each insert gives up and is tried again next check.
        {"past the busy time-out, storing the orders", "Verificando pedidos", 1s,
         QStringLiteral("Aiqfome conectado"), false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        db().setBusyTimeout(c.busyTimeout);
        const QStringList before = TestDatabase::contents(db(), "SELECT * FROM PEDIDOS");
        std::unique_ptr<SqliteShell> other;
        events = RecordingEvents();
        events.onStatus = [&](const QString &text) {
            if (text == QString::fromUtf8(c.lockedAt) && !other)
                other = SqliteShell::holdLock(database.path(), 3s);
        };

        check().run(CheckInput{}, events);

        ASSERT_TRUE(other);
        // Our own look at the tables waits until the other process is done.
        ASSERT_TRUE(other->finish()) << other->errors().toStdString();
        EXPECT_EQ(events.status.last(), c.result);
        EXPECT_EQ(events.notices.last(), c.reported ? c.result : QStringLiteral("<hidden>"));
        if (c.imported == 0) {
            EXPECT_EQ(TestDatabase::contents(db(), "SELECT * FROM PEDIDOS"), before);
        }
        EXPECT_EQ(db().query("SELECT * FROM PEDIDOS").rowCount(), c.imported);

        events = RecordingEvents();
        check().run(CheckInput{}, events);
        EXPECT_EQ(events.status.last(), u"Aiqfome conectado");
        EXPECT_EQ(storedCount(u"L1"), 1);
        EXPECT_EQ(storedCount(u"L2"), 1);
    }
}

TEST_F(CycleTest, ADatabaseInAReadOnlyFolderIsReportedAndTheNextCheckRecovers)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    marketplace.setReply("GET", "/alfredo/orders/search",
                         FakeReply::json(R"({"data":[)" + orderSummary("R1") + "]}"));
    marketplace.setDefaultReply(orderDetail());
    const QStringList before = TestDatabase::contents(db(), "SELECT * FROM CONFIGDELIVERY");
    const QString folder = QFileInfo(database.path()).absolutePath();
    {
        // A program started in the read-only folder; files it already holds open stay writable,
        // so the connection is made anew. This thread gives up its right to override
        // permissions meanwhile.
        ReadOnlyFolder readOnly(folder);
        ASSERT_TRUE(db().open(database.path()));
        check().run(CheckInput{}, events);
        EXPECT_EQ(events.status.last(), u"attempt to write a readonly database");
        EXPECT_EQ(events.notices.last(), events.status.last());
    }
    ASSERT_TRUE(db().open(database.path()));
    EXPECT_EQ(TestDatabase::contents(db(), "SELECT * FROM CONFIGDELIVERY"), before);
    EXPECT_EQ(db().query("SELECT * FROM PEDIDOS").rowCount(), 0);

    events = RecordingEvents();
    check().run(CheckInput{}, events);
    EXPECT_EQ(events.status.last(), u"Aiqfome conectado");
    EXPECT_EQ(storedCount(u"R1"), 1);
}

TEST_F(CycleTest, ImportAndBoardRunWhileAnotherProcessWritesOrders)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    constexpr int ours = 30;
    constexpr int theirs = 300;
    QList<QByteArray> summaries;
    for (int i = 0; i < ours; ++i)
        summaries << orderSummary("N" + QByteArray::number(i));
    marketplace.setReply("GET", "/alfredo/orders/search",
                         FakeReply::json(R"({"data":[)" + summaries.join(',') + "]}"));
    marketplace.setDefaultReply(orderDetail());
    QString script;
    for (int i = 0; i < theirs; ++i)
        script += QStringLiteral("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, DATAHORA) VALUES "
                                 "(2, 'X%1', strftime('%Y-%m-%d %H:%M:%S', 'now'));\n")
                      .arg(i);
    SqliteShell other(database.path(), script);

    // The board refreshes on its own thread meanwhile, as the UI thread does beside the worker.
    std::atomic<bool> done = false;
    std::atomic<int> refreshes = 0;
    QString boardError;
    std::thread boardThread([&] {
        while (!done) {
            try {
                readOrderRows(db());
                ++refreshes;
            } catch (const std::exception &e) {
                boardError = QString::fromUtf8(e.what());
                return;
            }
        }
    });
    check().run(CheckInput{}, events);
    const bool otherOk = other.finish();
    done = true;
    boardThread.join();

    EXPECT_TRUE(otherOk) << other.errors().toStdString();
    EXPECT_EQ(boardError, QString());
    EXPECT_GT(refreshes, 0);
    EXPECT_EQ(events.status.last(), u"Aiqfome conectado");
    EXPECT_EQ(db().query("SELECT * FROM PEDIDOS WHERE ORIGEM = 1").rowCount(), ours);
    EXPECT_EQ(db().query("SELECT DISTINCT IDPEDIDO FROM PEDIDOS WHERE ORIGEM = 1").rowCount(), ours);
    EXPECT_EQ(db().query("SELECT * FROM PEDIDOS WHERE ORIGEM = 2").rowCount(), theirs);
}

// A file from an older build, or edited by hand, that lacks a column the check reads: the check
// reports it and goes on, and once the table is sound again the next check works.
TEST_F(CycleTest, ATableMissingAColumnIsReportedAndTheNextCheckRecovers)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    const struct
    {
        const char *what;
        const char *damage;
        const char *repair;
        QString status; // the second panel's last text
        bool notice;    // the text is also the notice
        bool booked;
    } cases[] = {
        {"credentials without SENHA", "ALTER TABLE CONFIGDELIVERY DROP COLUMN SENHA",
         "ALTER TABLE CONFIGDELIVERY ADD COLUMN SENHA TEXT", QStringLiteral("Campo 'SENHA' não encontrado"),
         false, true},
        {"credentials without TOKEN", "ALTER TABLE CONFIGDELIVERY DROP COLUMN TOKEN",
         "ALTER TABLE CONFIGDELIVERY ADD COLUMN TOKEN TEXT", QStringLiteral("no such column: TOKEN"), true,
         true},
        {"company without LAT", "ALTER TABLE EMPRESA DROP COLUMN LAT",
         "ALTER TABLE EMPRESA ADD COLUMN LAT TEXT", QStringLiteral("DatabaseError"), false, false},
        {"orders without TELEFONE", "ALTER TABLE PEDIDOS DROP COLUMN TELEFONE",
         "ALTER TABLE PEDIDOS ADD COLUMN TELEFONE TEXT", QStringLiteral("DatabaseError"), false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        const qint64 order = addOrder(QStringLiteral("T1"));
        const qsizetype postedBefore = courier.requests().size();
        db().execute(c.damage);
        // The program starts on the file as it finds it.
        ASSERT_TRUE(db().open(database.path()));
        events = RecordingEvents();

        EXPECT_NO_THROW(check().run(dispatchOn(), events));

        ASSERT_FALSE(events.status.isEmpty());
        EXPECT_EQ(events.status.last(), c.status);
        EXPECT_EQ(events.notices.contains(c.status), c.notice);
        EXPECT_EQ(courier.requests().size() - postedBefore, c.booked ? 1 : 0);
        EXPECT_EQ(markOf(order), c.booked ? QStringLiteral("MACHINE") : QString());

        db().execute(c.repair);
        db().execute("UPDATE CONFIGDELIVERY SET SENHA = 'pw'");
        ASSERT_TRUE(db().open(database.path()));
        db().execute("UPDATE PEDIDOS SET ID_MCH = NULL");
        events = RecordingEvents();
        check().run(dispatchOn(), events);
        EXPECT_EQ(events.status.last(), u"Aiqfome conectado");
        EXPECT_EQ(markOf(order), u"MACHINE");
    }
}
