#include "CourierFixture.h"
#include "support/PeakMemory.h"
#include "support/ServiceFaults.h"
#include "support/SilentListener.h"

#include <QElapsedTimer>
#include <functional>
#include <iostream>

using namespace brisfold;
using namespace brisfold::test;

namespace {

CourierSettings faultSettings(const QString &baseUrl)
{
    CourierSettings s = settingsFor(baseUrl);
    s.timeouts = FaultTimeouts::requests();
    return s;
}

// One platform operation, the reply it gets when all is well, and the rows it may write.
struct Operation
{
    const char *what;
    QByteArray method;
    QByteArray path;
    FakeReply healthy;
    std::function<QString(const CourierClient &, Database &, qint64 orderId)> call;
    const char *written; // the rows to compare before and after
};

QList<Operation> operations()
{
    const QByteArray profile =
        R"({"response":{"id":4711,"nome":"Bom Sabor","endereco":"Rua A, 10","bairro":"Centro","cidade":"Maringa",)"
        R"("uf":"PR","cep":"87000-000","lat":"-23.42","lng":"-51.93","status_empresa":"A","telefone":"44",)"
        R"("documento":"1","tipos_pagamento":["F","X"],"categorias":[{"nome":"Moto"}]}})";
    return {
        {"ConsultaEmpresa", "GET", "/api/integracao/empresa", FakeReply::json(profile),
         [](const CourierClient &c, Database &db, qint64) {
             return c.ConsultaEmpresa(platformKey, companyEmail, companyPassword, db, true);
         },
         "SELECT * FROM EMPRESA"},
        {"EstimarEntrega", "GET", "/api/integracao/estimarEntrega",
         FakeReply::json(
             R"({"response":{"estimativa_valor":"9.90","desejado":{"lat":"-23.4","lng":"-51.9"}}})"),
         [](const CourierClient &c, Database &db, qint64 orderId) {
             EstimateQuery q;
             q.enderecoDesejado = QStringLiteral("Rua B, 20");
             q.comRetorno = QStringLiteral("false");
             return c.EstimarEntrega(platformKey, companyEmail, companyPassword, q, QString::number(orderId),
                                     db);
         },
         "SELECT * FROM PEDIDOS ORDER BY ID"},
        {"AbrirEntrega", "POST", "/api/integracao/abrirEntrega",
         FakeReply::json(R"({"response":{"id_mch":17}})"),
         [](const CourierClient &c, Database &, qint64) {
             return c.AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral(R"({"x":1})"));
         },
         "SELECT * FROM PEDIDOS ORDER BY ID"},
    };
}

void expectResultOf(const ServiceFault &fault, const QString &result)
{
    switch (fault.kind) {
    case ServiceFault::Kind::ResetMidBody:
    case ServiceFault::Kind::NeverAnswers:
    case ServiceFault::Kind::Drips:
        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
        EXPECT_GT(result.size(), noConnection.size()) << "the fault's own text follows";
        if (fault.kind == ServiceFault::Kind::Drips) {
            EXPECT_TRUE(result.contains(QStringLiteral("timed out"))) << result.toStdString();
        }
        break;
    case ServiceFault::Kind::HtmlErrorPage:
        EXPECT_EQ(result, QString::fromUtf8(htmlErrorPage));
        break;
    case ServiceFault::Kind::TruncatedJson:
        EXPECT_EQ(result, u"200");
        break;
    case ServiceFault::Kind::InvalidUtf8Error:
        EXPECT_EQ(result, QStringLiteral(u"Servi\uFFFDo indispon\uFFFDvel \uFFFD"));
        break;
    }
}

} // namespace

class CourierFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        db().execute(
            "INSERT INTO EMPRESA (IDMACHINE, NOME, EMAIL, SENHA) VALUES ('1', 'Antiga', 'a@x', 'pw')");
        db().execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, TAXAENTREGA) VALUES (1, 'A1', 'old fee')");
        orderId = db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
    }

    Database &db() { return database.db(); }

    TestDatabase database;
    qint64 orderId = 0;
};

TEST_F(CourierFaultTest, EveryFaultOfEveryOperationEndsInItsTextWritesNothingAndTheNextCallWorks)
{
    for (const Operation &op : operations()) {
        for (const ServiceFault &fault : serviceFaults(op.healthy)) {
            SCOPED_TRACE(std::string(op.what) + ": " + fault.what);
            // A fake of its own, since a reply that never comes holds one of the fake's threads.
            HttpsFake platform;
            platform.setReply(op.method, op.path, fault.reply);
            const CourierClient client(faultSettings(platform.baseUrl()));
            const QStringList before = TestDatabase::contents(db(), op.written);

            QElapsedTimer timer;
            timer.start();
            const QString result = op.call(client, db(), orderId);
            EXPECT_LT(timer.elapsed(), FaultTimeouts::overall.count() + 3000);
            expectResultOf(fault, result);
            EXPECT_EQ(TestDatabase::contents(db(), op.written), before);

            platform.setReply(op.method, op.path, op.healthy);
            platform.release();
            EXPECT_EQ(op.call(client, db(), orderId), u"TRUE");
            EXPECT_NE(TestDatabase::contents(db(), "SELECT * FROM EMPRESA"), QStringList())
                << "the company row is never lost";
        }
    }
    EXPECT_EQ(TestDatabase::contents(db(), "SELECT IDMACHINE FROM EMPRESA"),
              QStringList{QStringLiteral("4711")});
    EXPECT_EQ(TestDatabase::contents(db(), "SELECT TAXAENTREGA FROM PEDIDOS"),
              QStringList{QStringLiteral("9.90")});
}

TEST_F(CourierFaultTest, AnUnreachablePlatformEndsByItsTimeOutsAndTheNextCallWorks)
{
    QString refusing;
    {
        HttpsFake gone;
        refusing = gone.baseUrl();
    }
    SilentListener silent;
    HttpsFake healthy;
    const struct
    {
        const char *what;
        QString url;
    } cases[] = {{"connection refused", refusing}, {"accepts and never answers", silent.baseUrl()}};
    for (const auto &c : cases) {
        for (const Operation &op : operations()) {
            SCOPED_TRACE(std::string(c.what) + ": " + op.what);
            healthy.setReply(op.method, op.path, op.healthy);
            const QStringList before = TestDatabase::contents(db(), op.written);

            QElapsedTimer timer;
            timer.start();
            const QString result = op.call(CourierClient(faultSettings(c.url)), db(), orderId);
            EXPECT_LT(timer.elapsed(), FaultTimeouts::overall.count() + 2000);
            EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
            EXPECT_GT(result.size(), noConnection.size());
            EXPECT_EQ(TestDatabase::contents(db(), op.written), before);

            EXPECT_EQ(op.call(CourierClient(faultSettings(healthy.baseUrl())), db(), orderId), u"TRUE");
        }
    }
}

TEST_F(CourierFaultTest, TwentyMegabyteRepliesAreHandled)
{
    constexpr qint64 padding = 20 * 1000 * 1000;
    for (const Operation &op : operations()) {
        SCOPED_TRACE(op.what);
        HttpsFake platform;
        FakeReply large = op.healthy;
        large.padding = padding;
        platform.setReply(op.method, op.path, large);

        const bool measured = PeakMemory::reset();
        const qint64 before = PeakMemory::currentBytes();
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(op.call(CourierClient(settingsFor(platform.baseUrl())), db(), orderId), u"TRUE");
        const qint64 elapsed = timer.elapsed();
        if (measured) {
            const qint64 growth = PeakMemory::peakBytes() - before;
            std::cout << "[ figure   ] 20 MB " << op.what << " reply: peak memory +" << growth / (1024 * 1024)
                      << " MiB, " << elapsed << " ms\n";
            // A handful of copies of the body at most, not one per character or per step of growth.
            EXPECT_LT(growth, 10 * padding);
        }
    }
}
