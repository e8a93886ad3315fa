#include "MarketplaceFixture.h"
#include "support/PeakMemory.h"
#include "support/ServiceFaults.h"
#include "support/SilentListener.h"

#include <QElapsedTimer>
#include <iostream>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray tokenPath = "/alfredo/auth/token";
const QByteArray searchPath = "/alfredo/orders/search";
const QByteArray detailPath = "/alfredo/orders/P1";
const QByteArray tokenBody = R"({"data":{"access_token":"tok-1","expires_in":3600}})";

MarketplaceSettings faultSettings(const QString &baseUrl)
{
    MarketplaceSettings s = marketplaceSettingsFor(baseUrl);
    s.timeouts = FaultTimeouts::requests();
    return s;
}

// One marketplace request of a check and the reply it gets when all is well.
struct Stage
{
    const char *what;
    QByteArray method;
    QByteArray path;
    FakeReply healthy;
};

QList<Stage> stages()
{
    return {
        {"token", "POST", tokenPath, FakeReply::json(tokenBody)},
        {"search", "GET", searchPath, searchReply({summary("P1", "2024-03-15 13:00:00")})},
        {"detail", "GET", detailPath, Detail().reply()},
    };
}

void serveHealthy(HttpsFake &fake)
{
    for (const Stage &s : stages())
        fake.setReply(s.method, s.path, s.healthy);
}

QStringList orders(Database &db)
{
    return TestDatabase::contents(db, "SELECT * FROM PEDIDOS ORDER BY ID");
}

QStringList credentials(Database &db)
{
    return TestDatabase::contents(db, "SELECT * FROM CONFIGDELIVERY ORDER BY ID");
}

// The result text a token or search request ends in after the fault.
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
    case ServiceFault::Kind::TruncatedJson:
        EXPECT_EQ(result, QString::fromUtf8(fault.reply.body));
        break;
    case ServiceFault::Kind::InvalidUtf8Error:
        EXPECT_EQ(result, QStringLiteral(u"Servi\uFFFDo indispon\uFFFDvel \uFFFD"));
        break;
    }
}

} // namespace

TEST_F(MarketplaceTest, EveryFaultAtEveryStepEndsInItsTextWritesNothingAndTheNextCheckWorks)
{
    for (const Stage &stage : stages()) {
        for (const ServiceFault &fault : serviceFaults(stage.healthy)) {
            SCOPED_TRACE(std::string(stage.what) + ": " + fault.what);
            db().execute("DELETE FROM PEDIDOS");
            db().execute("UPDATE CONFIGDELIVERY SET TOKEN = NULL, VALIDADE = NULL");
            // A fake of its own, since a reply that never comes holds one of the fake's threads.
            HttpsFake service;
            serveHealthy(service);
            service.setReply(stage.method, stage.path, fault.reply);
            const MarketplaceClient c(faultSettings(service.baseUrl()), clock);
            const QStringList credentialsBefore = credentials(db());

            QElapsedTimer timer;
            timer.start();
            const QString result = c.ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                                       QStringLiteral("7"), db());
            EXPECT_LT(timer.elapsed(), 3 * FaultTimeouts::overall.count());

            if (stage.path == detailPath) {
                // A failed import is not reported; the order is tried again at the next check.
                EXPECT_EQ(result, u"TRUE");
            } else {
                expectResultOf(fault, result);
            }
            EXPECT_TRUE(orders(db()).isEmpty());
            if (stage.path == tokenPath) {
                EXPECT_EQ(credentials(db()), credentialsBefore);
            }

            service.setReply(stage.method, stage.path, stage.healthy);
            service.release();
            EXPECT_EQ(c.ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                          QStringLiteral("7"), db()),
                      u"TRUE");
            EXPECT_EQ(storedIds(), QStringList{QStringLiteral("P1")});
            EXPECT_EQ(db().query("SELECT TOKEN FROM CONFIGDELIVERY WHERE ID = 7").text(0, u"TOKEN"),
                      u"tok-1");
        }
    }
}

TEST_F(MarketplaceTest, AnUnreachableMarketplaceEndsByItsTimeOutsAndTheNextCheckWorks)
{
    QString refusing;
    {
        HttpsFake gone;
        refusing = gone.baseUrl();
    }
    SilentListener silent;
    const struct
    {
        const char *what;
        QString url;
    } cases[] = {{"connection refused", refusing}, {"accepts and never answers", silent.baseUrl()}};
    serveHealthy(fake);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        const QStringList before = credentials(db());

        QElapsedTimer timer;
        timer.start();
        const QString result = MarketplaceClient(faultSettings(c.url), clock)
                                   .ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                                      QStringLiteral("7"), db());
        EXPECT_LT(timer.elapsed(), FaultTimeouts::overall.count() + 2000);
        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
        EXPECT_GT(result.size(), noConnection.size());
        EXPECT_EQ(credentials(db()), before);
        EXPECT_TRUE(orders(db()).isEmpty());

        EXPECT_EQ(MarketplaceClient(faultSettings(fake.baseUrl()), clock)
                      .ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                         QStringLiteral("7"), db()),
                  u"TRUE");
        EXPECT_EQ(storedIds(), QStringList{QStringLiteral("P1")});
    }
}

TEST_F(MarketplaceTest, TwentyMegabyteRepliesAreHandled)
{
    constexpr qint64 padding = 20 * 1000 * 1000;
    for (const Stage &stage : stages()) {
        SCOPED_TRACE(stage.what);
        db().execute("DELETE FROM PEDIDOS");
        HttpsFake service;
        serveHealthy(service);
        FakeReply large = stage.healthy;
        large.padding = padding;
        service.setReply(stage.method, stage.path, large);
        const MarketplaceClient c(marketplaceSettingsFor(service.baseUrl()), clock);

        const bool measured = PeakMemory::reset();
        const qint64 before = PeakMemory::currentBytes();
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(
            c.ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"), QStringLiteral("7"), db()),
            u"TRUE");
        const qint64 elapsed = timer.elapsed();
        EXPECT_EQ(storedIds(), QStringList{QStringLiteral("P1")});
        if (measured) {
            const qint64 growth = PeakMemory::peakBytes() - before;
            std::cout << "[ figure   ] 20 MB " << stage.what << " reply: peak memory +"
                      << growth / (1024 * 1024) << " MiB, " << elapsed << " ms\n";
            // A handful of copies of the body at most, not one per character or per step of growth.
            EXPECT_LT(growth, 10 * padding);
        }
    }
}

TEST_F(MarketplaceTest, AnOrderListedTwiceIsStoredOnce)
{
    // The same order as a number and as text, twice more further down, and again in the next reply.
    const QByteArray asNumber = R"({"order_id":101,"created_at":"2024-03-15 13:00:00","is_read":true,)"
                                R"("is_ready":false,"order_is_pickup":false})";
    fake.setReply("GET", searchPath,
                  searchReply({summary("101", "2024-03-15 13:00:00"), asNumber,
                               summary("P2", "2024-03-15 13:05:00"), summary("101", "2024-03-15 13:00:00")}));
    fake.setDefaultReply(Detail().reply());

    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");
    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");

    EXPECT_EQ(detailPaths(), (QList<QByteArray>{"101", "P2"}));
    EXPECT_EQ(storedIds(), (QStringList{QStringLiteral("101"), QStringLiteral("P2")}));
}
