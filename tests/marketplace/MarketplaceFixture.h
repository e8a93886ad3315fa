#pragma once

#include "common/HttpClient.h"
#include "marketplace/MarketplaceClient.h"
#include "support/HttpsFake.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace brisfold::test {

inline const QString noConnection = QStringLiteral("Sem Conexão - Verifique sua Internet! ,");

// Short time-outs so that a silent server costs a second, not ten.
inline MarketplaceSettings marketplaceSettingsFor(const QString &baseUrl)
{
    MarketplaceSettings s;
    s.baseUrl = baseUrl;
    s.clientId = QStringLiteral("tarsio-sistemas");
    s.clientSecret = QStringLiteral("0123456789abcdefABCDEF0123456789");
    s.contact = QStringLiteral("integracao@exemplo.com.br");
    s.timeouts.connect = std::chrono::seconds(5);
    s.timeouts.read = std::chrono::seconds(2);
    s.timeouts.overall = std::chrono::seconds(20);
    return s;
}

// One order summary of the search reply; values are raw JSON.
inline QByteArray summary(const QByteArray &id, const QByteArray &createdAt,
                          const QByteArray &isRead = "true", const QByteArray &isReady = "false",
                          const QByteArray &isPickup = "false")
{
    return R"({"order_id":")" + id + R"(","created_at":")" + createdAt + R"(","is_read":)" + isRead +
           R"(,"is_ready":)" + isReady + R"(,"order_is_pickup":)" + isPickup + "}";
}

inline FakeReply searchReply(const QList<QByteArray> &orders)
{
    return FakeReply::json(R"({"data":[)" + orders.join(',') + "]}");
}

// The detail of one order; every value is raw JSON, so a test can put null or a number.
struct Detail
{
    QByteArray createdAt = R"("2024-03-15 13:10:00")";
    QByteArray isCancelled = "false";
    QByteArray isDelivered = "false";
    QByteArray name = R"("Ana")";
    QByteArray surname = R"("Souza")";
    QByteArray street = R"("Rua das Flores")";
    QByteArray number = R"("120")";
    QByteArray complement = R"("Apto 3")";
    QByteArray reference = R"("perto da praça")";
    QByteArray phone = R"("4433221100")";
    QByteArray mobile = R"("44999887766")";
    QByteArray city = R"("Maringá")";
    QByteArray uf = R"("PR")";
    QByteArray latitude = "-23.4205";
    QByteArray longitude = R"("-51.9331")";

    FakeReply reply() const
    {
        return FakeReply::json(
            R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":)" + isCancelled +
            R"(,"is_delivered":)" + isDelivered + R"(,"created_at":)" + createdAt + R"(,"user":{"name":)" +
            name + R"(,"surname":)" + surname + R"(,"address":{"street_name":)" + street + R"(,"number":)" +
            number + R"(,"complement":)" + complement + R"(,"reference":)" + reference + R"(,"phone":)" +
            phone + R"(,"mobile_phone":)" + mobile + R"(,"city_name":)" + city + R"(,"state_uf":)" + uf +
            R"(,"latitude":)" + latitude + R"(,"longitude":)" + longitude + "}}}}");
    }
};

// A marketplace fake the client trusts, a database made from the schema with one
// credentials row, and a clock at 14:00 on 15 March 2024.
class MarketplaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (7, 'loja', 'segredo')");
    }

    MarketplaceClient client()
    {
        return MarketplaceClient(marketplaceSettingsFor(fake.baseUrl()), clock,
                                 [this](const QString &text) { activities << text; });
    }
    Database &db() { return database.db(); }

    // The order ids asked for in detail requests, in order.
    QList<QByteArray> detailPaths() const
    {
        QList<QByteArray> paths;
        for (const RecordedRequest &r : fake.requests()) {
            if (r.path.startsWith("/alfredo/orders/") && r.path != "/alfredo/orders/search")
                paths << r.path.mid(int(sizeof("/alfredo/orders/")) - 1);
        }
        return paths;
    }
    QStringList storedIds()
    {
        const ResultSet rows = db().query("SELECT IDPEDIDO FROM PEDIDOS WHERE ORIGEM = 1 ORDER BY ID");
        QStringList ids;
        for (int i = 0; i < rows.rowCount(); ++i)
            ids << rows.text(i, u"IDPEDIDO");
        return ids;
    }

    HttpsFake fake;
    TestDatabase database;
    SettableClock clock{QDateTime(QDate(2024, 3, 15), QTime(14, 0))};
    QStringList activities;
};

} // namespace brisfold::test
