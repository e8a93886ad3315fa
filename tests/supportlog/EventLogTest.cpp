// The support log's lines: the text of each kind of event, and the lines a real check writes.
#include "supportlog/EventLog.h"

#include "courier/DeliveryDocument.h"
#include "cycle/CycleFixture.h"
#include "supportlog/SupportLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

DeliveryChoices motoAt1520()
{
    DeliveryChoices choices;
    choices.paymentCode = QStringLiteral("Z");
    choices.returnChoice = QStringLiteral("Não");
    choices.category = QStringLiteral("Moto");
    choices.schedule = {QStringLiteral("15/03/2024"), QStringLiteral("15:20")};
    return choices;
}

BookingResult result(const char *text, const char *bookingId = "", bool outcomeUnknown = false)
{
    BookingResult r;
    r.text = QString::fromUtf8(text);
    r.bookingId = QString::fromUtf8(bookingId);
    r.outcomeUnknown = outcomeUnknown;
    return r;
}

CheckSummary summary(const char *marketplaceResult, int found, int fresh, int stored)
{
    CheckSummary s;
    s.marketplaceResult = QString::fromUtf8(marketplaceResult);
    s.ordersFound = found;
    s.ordersNew = fresh;
    s.ordersStored = stored;
    return s;
}

} // namespace

TEST(EventLogLines, EachKindOfEventReadsAsOneLine)
{
    BookingResult unmarked = result("TRUE");
    unmarked.markError = QStringLiteral("database is locked");
    const DeliveryChoices choices = motoAt1520();
    const QString booking = QStringLiteral("Solicitação %1: pedido aiqfome 12345, categoria \"Moto\", "
                                           "pagamento Z, agendamento 15/03/2024 15:20, ");

    const struct
    {
        const char *kind;
        QString line;
        QString expected;
    } rows[] = {
        {"program started",
         eventlog::programStarted(QStringLiteral("5.6.0"), QStringLiteral("/opt/brisfold"),
                                  QStringLiteral("/opt/brisfold/BD/BANCO.db")),
         QStringLiteral(
             "Programa iniciado: versão 5.6.0, pasta /opt/brisfold, banco /opt/brisfold/BD/BANCO.db")},
        {"program ended", eventlog::programEnded(), QStringLiteral("Programa encerrado")},
        {"check started", eventlog::checkStarted(), QStringLiteral("Verificação iniciada")},
        {"check ended", eventlog::checkEnded(summary("Aiqfome conectado", 3, 2, 2), 1234),
         QStringLiteral(
             "Verificação concluída em 1234 ms: Aiqfome conectado; pedidos encontrados 3, novos 2, "
             "armazenados 2")},
        {"check ended without a credentials row", eventlog::checkEnded(summary("", 0, 0, 0), 7),
         QStringLiteral(
             "Verificação concluída em 7 ms: Aiqfome não cadastrado; pedidos encontrados 0, novos 0, "
             "armazenados 0")},
        // A fault text with percent escapes and a line break, as a web reply may carry them.
        {"check ended with a fault",
         eventlog::checkEnded(
             summary("Sem Conexão - Verifique sua Internet! ,\nfalha em /orders?q=a%2Cb", 1, 0, 0), 20001),
         QStringLiteral(
             "Verificação concluída em 20001 ms: Sem Conexão - Verifique sua Internet! , | falha em "
             "/orders?q=a%2Cb; pedidos encontrados 1, novos 0, armazenados 0")},
        {"order stored",
         eventlog::orderStored(
             {QStringLiteral("12345"), QStringLiteral("Maria Silva"), QStringLiteral("2024-03-15 13:30:00")}),
         QStringLiteral(
             "Pedido armazenado: aiqfome 12345, cliente \"Maria Silva\", chegada 2024-03-15 13:30:00")},
        {"automatic booking",
         eventlog::booking(QStringLiteral("automática"), QStringLiteral("12345"), choices,
                           result("TRUE", "991"), 850),
         booking.arg(QStringLiteral("automática")) + QStringLiteral("solicitado, id_mch 991 em 850 ms")},
        {"manual booking refused",
         eventlog::booking(QStringLiteral("manual"), QStringLiteral("12345"), choices,
                           result(" - Endereço inválido: https://mapa.example/?q=Rua%20A%2C1"), 120),
         booking.arg(QStringLiteral("manual")) +
             QStringLiteral(
                 "recusado: \"- Endereço inválido: https://mapa.example/?q=Rua%20A%2C1\" em 120 ms")},
        {"booking without an answer",
         eventlog::booking(QStringLiteral("automática"), QStringLiteral("12345"), choices,
                           result("Sem Conexão - Verifique sua Internet! ,Timeout was reached", "", true),
                           20000),
         booking.arg(QStringLiteral("automática")) +
             QStringLiteral(
                 "resultado desconhecido (sem resposta depois do envio): \"Sem Conexão - Verifique sua "
                 "Internet! ,Timeout was reached\" em 20000 ms")},
        {"booking whose mark failed",
         eventlog::booking(QStringLiteral("manual"), QStringLiteral("12345"), choices, unmarked, 5),
         booking.arg(QStringLiteral("manual")) +
             QStringLiteral("solicitado, id_mch ?; marca não gravada: \"database is locked\" em 5 ms")},
        {"marked delivered", eventlog::markedDelivered(QStringLiteral("12345")),
         QStringLiteral("Pedido aiqfome 12345 marcado JA ENTREGUE")},
        {"unknown outcome, post again", eventlog::unknownOutcomeAnswered(QStringLiteral("12345"), true),
         QStringLiteral("Resultado desconhecido do pedido aiqfome 12345: usuário pediu nova solicitação")},
        {"unknown outcome, booked", eventlog::unknownOutcomeAnswered(QStringLiteral("12345"), false),
         QStringLiteral(
             "Resultado desconhecido do pedido aiqfome 12345: usuário confirmou na Trevant, marcado "
             "MACHINE")},
        {"signed in", eventlog::signedIn(QStringLiteral("dono@pizzaria.com.br")),
         QStringLiteral("Login na Trevant: dono@pizzaria.com.br")},
        {"signed out", eventlog::signedOut(QStringLiteral("dono@pizzaria.com.br")),
         QStringLiteral("Logout da Trevant: dono@pizzaria.com.br")},
        {"credentials saved", eventlog::credentialsSaved(QStringLiteral("loja")),
         QStringLiteral("Credenciais do Aiqfome salvas: usuário loja")},
        {"setting changed",
         eventlog::settingChanged(QStringLiteral("minutos"), QStringLiteral("60"), QStringLiteral("90")),
         QStringLiteral("Configuração alterada: minutos \"60\" → \"90\"")},
        {"setting set for the first time",
         eventlog::settingChanged(QStringLiteral("pagamento"), QString(), QStringLiteral("Pix")),
         QStringLiteral("Configuração alterada: pagamento \"\" → \"Pix\"")},
        {"multi-line message shown",
         eventlog::errorShown(QStringLiteral("FEntrega"),
                              QStringLiteral("Erro: Avise o Suporte\r\ndisk I/O error\nlinha 3\n")),
         QStringLiteral(
             "Mensagem ao usuário (FEntrega): \"Erro: Avise o Suporte | disk I/O error | linha 3\"")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.kind);
        EXPECT_EQ(row.line, row.expected);
        EXPECT_FALSE(row.line.contains(u'\n') || row.line.contains(u'\r'));
    }
}

namespace {

// A check against the fakes with the support log installed, read back from the day's file.
class CheckLog : public CycleTest
{
protected:
    void SetUp() override
    {
        CycleTest::SetUp();
        clock.set(QDateTime::currentDateTime());
        eventlog::install(&log);
    }
    void TearDown() override { eventlog::install(nullptr); }

    QStringList lines()
    {
        log.flush();
        QFile file(QDir(folder.path()).filePath(SupportLog::fileName(clock.now().date())));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        // Each without its "YYYY-MM-DD HH:MM:SS.mmm " stamp.
        for (QString &line : out)
            line = line.mid(24);
        return out;
    }

    void offerOrders(const QStringList &numbers)
    {
        const QByteArray now = clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        QByteArray listed;
        for (const QString &number : numbers) {
            const QByteArray n = number.toUtf8();
            listed += QByteArray(listed.isEmpty() ? "" : ",") + R"({"order_id":")" + n +
                      R"(","created_at":")" + now +
                      R"(","is_read":true,"is_ready":false,"order_is_pickup":false})";
            marketplace.setReply(
                "GET", "/alfredo/orders/" + n,
                FakeReply::json(
                    R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,)"
                    R"("is_delivered":false,"created_at":")" +
                    now + R"(","user":{"name":"Cliente","surname":")" + n +
                    R"(","address":{"street_name":"R","number":"1","complement":"","reference":"",)"
                    R"("phone":"44","mobile_phone":"","city_name":"C","state_uf":"PR","latitude":"-23",)"
                    R"("longitude":"-51"}}}})"));
        }
        marketplace.setReply("GET", "/alfredo/orders/search",
                             FakeReply::json(R"({"data":[)" + listed + "]}"));
    }

    QTemporaryDir folder;
    SupportLog log{folder.path(), clock, [](const QString &) {}};
};

QString escaped(const QString &text)
{
    return QRegularExpression::escape(text);
}

} // namespace

TEST_F(CheckLog, ACheckThatStoresAndBooksTwoOrdersWritesItsLinesInOrder)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    offerOrders({QStringLiteral("M1"), QStringLiteral("M2")});
    // The first booking is refused; the second, posted after the refusal was reported, is taken.
    const FakeReply refused = FakeReply::json(R"({"response":{"erros":["Saldo insuficiente"]}})");
    courier.setReply("POST", "/api/integracao/abrirEntrega", refused);
    events.onStatus = [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Erro: ")))
            courier.setReply("POST", "/api/integracao/abrirEntrega",
                             FakeReply::json(R"({"response":{"id_mch":"4711"}})"));
    };

    check().run(dispatchOn(), events);

    const ResultSet stored =
        db().query("SELECT IDPEDIDO, CLIENTE, DATAHORA, ID_MCH FROM PEDIDOS ORDER BY ID");
    ASSERT_EQ(stored.rowCount(), 2);
    EXPECT_EQ(stored.text(0, u"ID_MCH"), u"");
    EXPECT_EQ(stored.text(1, u"ID_MCH"), u"MACHINE");
    const QList<QJsonObject> documents = posted();
    ASSERT_EQ(documents.size(), 2);
    // The schedule and payment code as the courier received them.
    const QString payment = documents[0].value(QStringLiteral("forma_pagamento")).toString();
    const QString schedule = documents[0].value(QStringLiteral("data")).toString() + u' ' +
                             documents[0].value(QStringLiteral("hora")).toString();
    const auto bookingOf = [&](const char *number) {
        return QStringLiteral("Solicitação automática: pedido aiqfome %1, categoria \"Moto\", pagamento %2, "
                              "agendamento %3, ")
            .arg(QString::fromUtf8(number), payment, schedule);
    };
    const auto storedLine = [&](int row) {
        return QStringLiteral("Pedido armazenado: aiqfome %1, cliente \"%2\", chegada %3")
            .arg(stored.text(row, u"IDPEDIDO"), stored.text(row, u"CLIENTE"), stored.text(row, u"DATAHORA"));
    };

    const QStringList written = lines();
    const QStringList patterns = {
        escaped(QStringLiteral("Verificação iniciada")),
        escaped(storedLine(0)),
        escaped(storedLine(1)),
        escaped(bookingOf("M1") + QStringLiteral("recusado: \"- Saldo insuficiente\" em ")) +
            QStringLiteral("\\d+ ms"),
        escaped(bookingOf("M2") + QStringLiteral("solicitado, id_mch 4711 em ")) + QStringLiteral("\\d+ ms"),
        escaped(QStringLiteral("Verificação concluída em ")) + QStringLiteral("\\d+") +
            escaped(QStringLiteral(" ms: Aiqfome conectado; pedidos encontrados 2, novos 2, armazenados 2")),
    };
    ASSERT_EQ(written.size(), patterns.size()) << written.join(u'\n').toStdString();
    for (qsizetype i = 0; i < patterns.size(); ++i)
        EXPECT_TRUE(QRegularExpression(u'^' + patterns[i] + u'$').match(written[i]).hasMatch())
            << "line " << i << ": " << written[i].toStdString();
}
