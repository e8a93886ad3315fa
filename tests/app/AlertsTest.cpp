// The counter's alerts as the main window drives them: real checks against the HTTPS fakes, the
// sound through the platform, the acknowledgement by a click or a key, and the question about a
// booking whose outcome is unknown.
#include "alerts/AlertCenter.h"
#include "common/HttpClient.h"
#include "support/FakeServices.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray token = R"({"data":{"access_token":"tok","expires_in":3600}})";
const QByteArray booked = R"({"response":{"id_mch":"9"}})";

class Alerts : public ::testing::Test
{
protected:
    Alerts()
    {
        h.db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
        h.db().execute("INSERT INTO EMPRESA (IDMACHINE, NOME, EMAIL, SENHA, LAT, LNG, STATUS) "
                       "VALUES ('5', 'Cantina', 'loja@exemplo.com.br', 'pw', '-23', '-51', 'A')");
        marketplace.setReply("POST", "/alfredo/auth/token", FakeReply::json(token));
        marketplace.setReply("GET", "/alfredo/orders/search", FakeReply::json(R"({"data":[]})"));
        courier.setReply("POST", "/api/integracao/abrirEntrega", FakeReply::json(booked));
        h.find<QComboBox>("ComboBoxCategorias")->addItems({QStringLiteral("Moto")});
        h.find<QComboBox>("ComboBoxPagamentos")->addItems({QStringLiteral("Faturado")});
        h.form().show();
        h.signInFace();
    }

    // One marketplace order "M1" created now, as the search and the detail give it.
    void offerOneOrder()
    {
        const QByteArray now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        marketplace.setReply(
            "GET", "/alfredo/orders/search",
            FakeReply::json(R"({"data":[{"order_id":"M1","created_at":")" + now +
                            R"(","is_read":true,"is_ready":false,"order_is_pickup":false}]})"));
        marketplace.setReply(
            "GET", "/alfredo/orders/M1",
            FakeReply::json(
                R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,"is_delivered":false,)"
                R"("created_at":")" +
                now +
                R"(","user":{"name":"Maria","surname":"Silva","address":{"street_name":"R","number":"1",)"
                R"("complement":"","reference":"","phone":"44","mobile_phone":"","city_name":"C","state_uf":"PR",)"
                R"("latitude":"-23","longitude":"-51"}}}})"));
    }

    bool runCheck()
    {
        h.form().TimerDeliveryTimer();
        return waitFor([&] { return !h.form().checkRunning(); }, 15000);
    }

    // An order whose post went out just before the program was killed: a record, no mark.
    qint64 orderPostedBeforeAKill(const QString &number)
    {
        h.db().execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, DATAHORA) VALUES (1, :N, 'Ana', "
                       "strftime('%Y-%m-%d %H:%M:%S', 'now', '-1 hours'))",
                       {{":N", number}});
        const qint64 id = h.db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
        h.db().execute(
            "CREATE TABLE IF NOT EXISTS SOLICITACOES_PENDENTES (ID INTEGER PRIMARY KEY, DATAHORA TEXT)");
        h.db().execute("INSERT INTO SOLICITACOES_PENDENTES (ID) VALUES (:ID)", {{":ID", id}});
        return id;
    }

    QString markOf(qint64 id)
    {
        return h.db().query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", id}}).text(0, u"ID_MCH");
    }

    int postsOf(const QByteArray &number)
    {
        int posts = 0;
        for (const RecordedRequest &r : courier.requests())
            posts +=
                r.path.startsWith("/api/integracao/abrirEntrega") && r.body.contains("aiqfome " + number);
        return posts;
    }

    HttpsFake courier;
    HttpsFake marketplace;
    MainWindowHarness h{servicesAt(courier, marketplace)};
    AlertCenter *center = h.form().findChild<AlertCenter *>();
    QLabel *countLine = h.find<QLabel>("Label6PEDIDOS");
};

} // namespace

TEST_F(Alerts, ANewOrderSoundsUntilAClickOrAKeyInTheWindow)
{
    ASSERT_NE(center, nullptr);
    offerOneOrder();
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(h.platform.alertPlays, 1);
    EXPECT_TRUE(center->isActive());
    h.clock.advance(AlertCenter::repeatSeconds);
    center->tick();
    EXPECT_EQ(h.platform.alertPlays, 2);

    QTest::mouseClick(countLine, Qt::LeftButton);
    EXPECT_FALSE(center->isActive());
    h.clock.advance(AlertCenter::repeatSeconds);
    center->tick();
    EXPECT_EQ(h.platform.alertPlays, 2);

    // The next check finds the order stored: nothing new, no alert.
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(h.platform.alertPlays, 2);

    center->orderStored(StoredOrder{QStringLiteral("M2"), QStringLiteral("Ana"), QString()});
    QTest::keyClick(&h.form(), Qt::Key_Shift);
    EXPECT_FALSE(center->isActive());
}

TEST_F(Alerts, AnUnknownBookingIsNotPostedAgainAndTheAnswerSettlesIt)
{
    ASSERT_NE(center, nullptr);
    h.find<QCheckBox>("CheckBoxRebimentoAutomatico")->setChecked(true);
    const struct
    {
        const char *what;
        QByteArray number;
        bool answer;
        int posts;
    } cases[] = {{"Não: seen on the platform", "K1", false, 0}, {"Sim: posted again now", "K2", true, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 id = orderPostedBeforeAKill(QString::fromLatin1(c.number));
        h.messages.asked.clear();
        ASSERT_TRUE(runCheck());
        EXPECT_EQ(postsOf(c.number), 0) << "the automatic dispatch does not post it";
        EXPECT_TRUE(center->isActive());
        ASSERT_TRUE(runCheck());
        EXPECT_TRUE(h.messages.asked.isEmpty()) << "asked only once somebody is there";

        h.messages.yesNoAnswers = {c.answer};
        QTest::mouseClick(countLine, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return !h.messages.asked.isEmpty(); }, 5000));
        EXPECT_EQ(h.messages.asked,
                  QStringList{QStringLiteral("Não sabemos se a Trevant recebeu o pedido aiqfome "
                                             "%1. Confira na página de gestão. Solicitar "
                                             "entregador de novo?")
                                  .arg(QString::fromLatin1(c.number))});
        ASSERT_TRUE(waitFor([&] { return markOf(id) == u"MACHINE"; }, 10000));
        EXPECT_EQ(postsOf(c.number), c.posts);
        EXPECT_FALSE(h.db().hasRow("SELECT ID FROM SOLICITACOES_PENDENTES"));

        ASSERT_TRUE(runCheck());
        EXPECT_EQ(postsOf(c.number), c.posts) << "settled: never posted again";
        h.db().execute("DELETE FROM PEDIDOS");
    }
}
