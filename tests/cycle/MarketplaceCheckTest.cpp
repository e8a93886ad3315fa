#include "CycleFixture.h"

using namespace brisfold;
using namespace brisfold::test;

TEST(CountdownText, CountsDownToTwoThenSaysChecking)
{
    EXPECT_EQ(countdownText(29), u"Proxima Verificação em 29 segundos");
    EXPECT_EQ(countdownText(2), u"Proxima Verificação em 2 segundos");
    EXPECT_EQ(countdownText(1), u"Verificando...");
    EXPECT_EQ(countdownText(0), u"Verificando...");
}

TEST_F(CycleTest, RowsAreWalkedInOrderAndEachOutcomeReported)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, '', ''), (2, 'loja', '')");
    marketplace.setReply("POST", "/alfredo/auth/token", FakeReply::json(R"({"error":"x"})", 401));
    CheckInput input;
    input.statusPanelEmpty = true;

    check().run(input, events);

    EXPECT_EQ(events.status,
              QStringList({QStringLiteral("Verificando integração"), QStringLiteral("Aiqfome não cadastrado"),
                           QStringLiteral("Verificando token"),
                           QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO")}));
    EXPECT_EQ(events.notices, QStringList{QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO")});
    EXPECT_EQ(events.refused, 1);
    // A login without a password still goes to the marketplace.
    EXPECT_EQ(marketplace.lastRequest().body, R"(  {"username" : "loja","password" : ""})");
}

TEST_F(CycleTest, TokenOutcomesReachStatusAndNotice)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (5, 'loja', 'pw')");
    check().run(CheckInput{}, events);
    EXPECT_EQ(events.status.last(), u"Aiqfome conectado");
    EXPECT_EQ(events.notices, QStringList{QStringLiteral("<hidden>")});
    EXPECT_FALSE(db().query("SELECT TOKEN FROM CONFIGDELIVERY").isNull(0, u"TOKEN"));

    events = RecordingEvents();
    marketplace.setReply("POST", "/alfredo/auth/token", FakeReply::json("manutencao", 503));
    check().run(CheckInput{}, events);
    EXPECT_EQ(events.status.last(), u"manutencao");
    EXPECT_EQ(events.notices, QStringList{QStringLiteral("manutencao")});
    EXPECT_EQ(events.refused, 0);
}

TEST_F(CycleTest, NoCredentialsRowStillDispatches)
{
    const qint64 id = addOrder(QStringLiteral("A1"));
    check().run(dispatchOn(), events);
    EXPECT_TRUE(events.status.isEmpty());
    EXPECT_TRUE(marketplace.requests().isEmpty());
    EXPECT_EQ(markOf(id), u"MACHINE");
}

TEST_F(CycleTest, DispatchOffOrSignedOutBooksNothing)
{
    const qint64 id = addOrder(QStringLiteral("A1"));
    CheckInput off = dispatchOn();
    off.dispatch.enabled = false;
    check().AbrirEntregaAgendarAutomatico(off, events);
    events.loggedIn = false;
    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);

    EXPECT_TRUE(courier.requests().isEmpty());
    EXPECT_EQ(markOf(id), u"");
}

TEST_F(CycleTest, DispatchBooksRecentUnmarkedOrdersInAscendingIdAtOneMoment)
{
    const qint64 first = addOrder(QStringLiteral("A1"), 12);
    const qint64 oldNull = addOrder(QStringLiteral("OLD1"), 14);
    const qint64 oldEmpty = addOrder(QStringLiteral("OLD2"), 14, "");
    addOrder(QStringLiteral("DELIV"), 1, "JA ENTREGUE");
    addOrder(QStringLiteral("BOOKED"), 1, "MACHINE");
    const qint64 second = addOrder(QStringLiteral("A2"), 1, "");

    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);

    const QList<QJsonObject> documents = posted();
    ASSERT_EQ(documents.size(), 2);
    EXPECT_EQ(postedOrders(), QStringList({QStringLiteral("aiqfome A1"), QStringLiteral("aiqfome A2")}));
    for (const QJsonObject &d : documents) {
        EXPECT_EQ(d.value(QStringLiteral("data")).toString(), u"15/03/2024");
        EXPECT_EQ(d.value(QStringLiteral("hora")).toString(), u"15:20");
        EXPECT_EQ(d.value(QStringLiteral("forma_pagamento")).toString(), u"X");
        EXPECT_EQ(d.value(QStringLiteral("categoria_nome")).toString(), u"Moto");
    }
    EXPECT_EQ(courier.lastRequest().header("api-key"), "key");
    EXPECT_EQ(markOf(first), u"MACHINE");
    EXPECT_EQ(markOf(second), u"MACHINE");
    EXPECT_TRUE(
        db().query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", oldNull}}).isNull(0, u"ID_MCH"));
    EXPECT_EQ(markOf(oldEmpty), u"");
    EXPECT_TRUE(events.status.isEmpty());
}

TEST_F(CycleTest, RefusedOrdersStayOpenAndTheRestAreStillTried)
{
    const qint64 a = addOrder(QStringLiteral("A1"));
    const qint64 b = addOrder(QStringLiteral("A2"));
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"erros":["Saldo insuficiente"]}})"));

    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);

    EXPECT_EQ(courier.requests().size(), 2);
    EXPECT_EQ(events.status, QStringList(2, QStringLiteral("Erro:  - Saldo insuficiente")));
    EXPECT_EQ(markOf(a), u"");

    // Accepted at the next check.
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"id_mch":"9"}})"));
    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);
    EXPECT_EQ(courier.requests().size(), 4);
    EXPECT_EQ(markOf(a), u"MACHINE");
    EXPECT_EQ(markOf(b), u"MACHINE");
}

// A disk that refuses the mark after the platform took the booking: the order is marked at a
// later check, never posted again.
TEST_F(CycleTest, ABookingWhoseMarkFailedIsMarkedLaterNotPostedAgain)
{
    const qint64 a = addOrder(QStringLiteral("A1"));
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"id_mch":"9"}})"));
    db().execute("CREATE TRIGGER recusa BEFORE UPDATE OF ID_MCH ON PEDIDOS BEGIN "
                 "SELECT RAISE(ABORT, 'disco cheio'); END");

    for (int i = 0; i < 2; ++i)
        check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);
    EXPECT_EQ(courier.requests().size(), 1);
    EXPECT_EQ(events.status, QStringList(2, QStringLiteral("DatabaseError")));
    EXPECT_EQ(markOf(a), u"");

    db().execute("DROP TRIGGER recusa");
    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);
    EXPECT_EQ(courier.requests().size(), 1);
    EXPECT_EQ(markOf(a), u"MACHINE");
}

// The dispatch dialog books an order while the automatic run is busy with the one before.
TEST_F(CycleTest, OrderMarkedDuringTheRunIsNotPostedAgain)
{
    addOrder(QStringLiteral("A1"));
    const qint64 b = addOrder(QStringLiteral("A2"));
    addOrder(QStringLiteral("A3"));
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"erros":["x"]}})"));
    events.onStatus = [&](const QString &) {
        db().execute("UPDATE PEDIDOS SET ID_MCH = 'MACHINE' WHERE ID = :ID", {{":ID", b}});
    };

    check().AbrirEntregaAgendarAutomatico(dispatchOn(), events);

    EXPECT_EQ(postedOrders(), QStringList({QStringLiteral("aiqfome A1"), QStringLiteral("aiqfome A3")}));
}

TEST_F(CycleTest, PaymentAndMinutesProblemsBookNothing)
{
    CheckInput noPayment = dispatchOn();
    noPayment.dispatch.payment.clear();
    // No order waiting: no message either.
    check().AbrirEntregaAgendarAutomatico(noPayment, events);
    EXPECT_TRUE(events.payment.isEmpty());

    addOrder(QStringLiteral("A1"));
    check().AbrirEntregaAgendarAutomatico(noPayment, events);
    EXPECT_EQ(events.payment, QStringList{QStringLiteral("Tipo do pagamento da entrega não especificado!")});

    CheckInput badMinutes = dispatchOn();
    badMinutes.dispatch.minutes = QStringLiteral("1O");
    check().AbrirEntregaAgendarAutomatico(badMinutes, events);
    EXPECT_EQ(events.status, QStringList{QStringLiteral("ConversionError")});
    EXPECT_TRUE(courier.requests().isEmpty());
}
