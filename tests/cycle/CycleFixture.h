#pragma once

#include "common/HttpClient.h"
#include "cycle/MarketplaceCheck.h"
#include "support/HttpsFake.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace brisfold::test {

inline const QString noConnection = QStringLiteral("Sem Conexão - Verifique sua Internet! ,");

// Remembers what a check reported, in order.
class RecordingEvents final : public CheckEvents
{
public:
    void statusText(const QString &text) override
    {
        status << text;
        if (onStatus)
            onStatus(text);
    }
    void showNotice(const QString &text) override { notices << text; }
    void hideNotice() override { notices << QStringLiteral("<hidden>"); }
    void credentialsRefused() override { ++refused; }
    void paymentTypeMissing(const QString &message) override { payment << message; }
    bool signedIn() const override { return loggedIn; }

    QStringList status;
    QStringList notices;
    QStringList payment;
    int refused = 0;
    bool loggedIn = true;
    std::function<void(const QString &)> onStatus;
};

// A marketplace fake and a courier fake, a database from the schema with a company row, and a
// clock at 14:20:45 on 15 March 2024.
class CycleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        db().execute(
            "INSERT INTO EMPRESA (IDMACHINE, ENDERECO, BAIRRO, CIDADE, UF, LAT, LNG, EMAIL, SENHA) VALUES "
            "('77', 'Av. Brasil 100', 'Centro', 'Maringa', 'PR', '-23.42', '-51.93', 'loja@x.com', 'pw')");
        courier.setReply("POST", "/api/integracao/abrirEntrega",
                         FakeReply::json(R"({"response":{"id_mch":"9"}})"));
        marketplace.setReply("POST", "/alfredo/auth/token",
                             FakeReply::json(R"({"data":{"access_token":"tok","expires_in":3600}})"));
        marketplace.setReply("GET", "/alfredo/orders/search", FakeReply::json(R"({"data":[]})"));
    }

    Database &db() { return database.db(); }

    MarketplaceSettings marketplaceSettings() const
    {
        MarketplaceSettings s;
        s.baseUrl = marketplace.baseUrl();
        s.clientId = QStringLiteral("tarsio-sistemas");
        s.clientSecret = QStringLiteral("0123456789abcdefABCDEF0123456789");
        s.contact = QStringLiteral("integracao@exemplo.com.br");
        s.timeouts.read = std::chrono::seconds(2);
        s.timeouts.overall = std::chrono::seconds(20);
        return s;
    }
    CourierSettings courierSettings() const
    {
        CourierSettings s;
        s.baseUrl = courier.baseUrl();
        s.timeouts.read = std::chrono::seconds(2);
        s.timeouts.overall = std::chrono::seconds(20);
        return s;
    }
    MarketplaceCheck check()
    {
        return MarketplaceCheck(db(), marketplaceSettings(), courierSettings(), clock);
    }

    static CheckInput dispatchOn()
    {
        CheckInput input;
        input.courierKey = QStringLiteral("key");
        input.dispatch = {true, QStringLiteral("60"), QStringLiteral("Pix"), QStringLiteral("Moto"),
                          QStringLiteral("Não")};
        return input;
    }

    // An order whose DATAHORA lies `hoursAgo` behind the database's own clock.
    qint64 addOrder(const QString &idPedido, int hoursAgo = 1, const char *mark = nullptr)
    {
        const QString modifier = QStringLiteral("-%1 hours").arg(hoursAgo);
        const SqlValue markValue = mark ? SqlValue(QString::fromUtf8(mark)) : SqlValue();
        db().execute(
            "INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, TELEFONE, ENDERECO, LATITUDE, LONGITUDE, "
            "ID_MCH, DATAHORA) VALUES (1, :IDPEDIDO, 'Ana', '44', 'Rua A 1', '-23.4', '-51.9', :ID_MCH, "
            "strftime('%Y-%m-%d %H:%M:%S', 'now', :MOD))",
            {{":IDPEDIDO", idPedido}, {":ID_MCH", markValue}, {":MOD", modifier}});
        return db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
    }
    // How many rows hold this marketplace order.
    qint64 storedCount(QStringView idPedido)
    {
        return db()
            .query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ORIGEM = 1 AND IDPEDIDO = :ID",
                   {{":ID", idPedido.toString()}})
            .integer(0, u"N");
    }
    QString markOf(qint64 id)
    {
        return db().query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", id}}).text(0, u"ID_MCH");
    }

    // The order numbers of the posted delivery documents, in order.
    QStringList postedOrders() const
    {
        QStringList ids;
        for (const QJsonObject &d : posted())
            ids << d.value(QStringLiteral("paradas"))
                       .toArray()
                       .first()
                       .toObject()
                       .value(QStringLiteral("id_externo"))
                       .toString();
        return ids;
    }
    // The posted delivery documents, in order.
    QList<QJsonObject> posted() const
    {
        QList<QJsonObject> documents;
        for (const RecordedRequest &r : courier.requests())
            documents << QJsonDocument::fromJson(r.body).object();
        return documents;
    }

    HttpsFake marketplace;
    HttpsFake courier;
    TestDatabase database;
    SettableClock clock{QDateTime(QDate(2024, 3, 15), QTime(14, 20, 45))};
    RecordingEvents events;
};

} // namespace brisfold::test
