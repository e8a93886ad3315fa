#include "CourierFixture.h"

#include <QElapsedTimer>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray userAgent =
    "User-Agent:Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like "
    "Gecko) Chrome/58.0.3029.96 Safari/537.36";
const QByteArray okDelivery = R"({"response":{"id_mch":17}})";

void expectPlatformHeaders(const RecordedRequest &r)
{
    EXPECT_EQ(r.headerValues("Content-Type"), QList<QByteArray>{"application/json; charset=UTF-8"});
    EXPECT_EQ(r.headerValues("Connection"), QList<QByteArray>{"Keep-Alive"});
    EXPECT_EQ(r.headerValues("User-Agent"), QList<QByteArray>{userAgent});
    EXPECT_EQ(r.headerValues("api-key"), QList<QByteArray>{platformKey.toUtf8()});
    EXPECT_EQ(r.headerValues("Authorization"),
              QList<QByteArray>{"Basic " + (companyEmail + u':' + companyPassword).toUtf8().toBase64()});
    EXPECT_TRUE(r.headerValues("Expect").isEmpty());
}

} // namespace

TEST_F(CourierTest, GetCarriesThePlatformHeadersAndCredentialsOnTheFirstRequest)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json("[]"));
    client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true);

    // One request: the credentials went with it, not after a challenge.
    ASSERT_EQ(fake.requests().size(), 1);
    const RecordedRequest r = fake.lastRequest();
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.path, "/api/integracao/empresa");
    EXPECT_EQ(r.query, "");
    EXPECT_EQ(r.body, "");
    expectPlatformHeaders(r);
}

TEST_F(CourierTest, PostSendsTheDocumentAsUtf8Bytes)
{
    fake.setReply("POST", "/api/integracao/abrirEntrega", FakeReply::json(okDelivery));
    const QString document = QStringLiteral(R"({"nome_cliente_parada":"João","x":"€"})");

    EXPECT_EQ(client().AbrirEntrega(platformKey, companyEmail, companyPassword, document), u"TRUE");

    const RecordedRequest r = fake.lastRequest();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/api/integracao/abrirEntrega");
    EXPECT_EQ(r.body, document.toUtf8());
    EXPECT_EQ(r.header("Content-Length"), QByteArray::number(document.toUtf8().size()));
    expectPlatformHeaders(r);
}

TEST_F(CourierTest, RedirectsAreFollowed)
{
    FakeReply moved = FakeReply::json("", 302);
    moved.headers = {{"Location", (fake.baseUrl() + QStringLiteral("/novo/empresa")).toUtf8()}};
    fake.setReply("POST", "/api/integracao/abrirEntrega", moved);
    fake.setReply("GET", "/novo/empresa", FakeReply::json(okDelivery));

    EXPECT_EQ(client().AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}")),
              u"TRUE");
    ASSERT_EQ(fake.requests().size(), 2);
    EXPECT_EQ(fake.requests().at(1).path, "/novo/empresa");
}

TEST(CourierTls, ServersTheClientCannotTrustOrSpeakToAreRefused)
{
    HttpClient::setExtraCaFile(HttpsFake::caFile());
    struct Case
    {
        const char *what;
        HttpsFake::Options options;
    };
    for (const Case &c : {Case{"only TLS 1.3", {.tls13Only = true}},
                          Case{"untrusted certificate", {.untrustedCertificate = true}}}) {
        SCOPED_TRACE(c.what);
        HttpsFake fake(c.options);
        fake.setDefaultReply(FakeReply::json(okDelivery));
        const QString result =
            CourierClient(settingsFor(fake.baseUrl()))
                .AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
        EXPECT_GT(result.size(), noConnection.size());
        EXPECT_TRUE(fake.requests().isEmpty());
    }
}

TEST(CourierTls, WithoutTheExtraAuthorityOurOwnServerIsNotTrusted)
{
    HttpsFake fake;
    fake.setDefaultReply(FakeReply::json(okDelivery));
    const CourierClient client(settingsFor(fake.baseUrl()));

    HttpClient::setExtraCaFile(QString());
    const QString refused =
        client.AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
    HttpClient::setExtraCaFile(HttpsFake::caFile());

    EXPECT_TRUE(refused.startsWith(noConnection)) << refused.toStdString();
    EXPECT_EQ(client.AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}")), u"TRUE");
}

TEST(CourierTransport, NoListenerGivesTheNoConnectionTextWithTheNetworkError)
{
    HttpClient::setExtraCaFile(HttpsFake::caFile());
    QString url;
    {
        HttpsFake gone;
        url = gone.baseUrl();
    }
    const QString result =
        CourierClient(settingsFor(url))
            .AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
    EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
    EXPECT_GT(result.size(), noConnection.size());
}

TEST_F(CourierTest, AServerThatStopsAnsweringEndsInTheNoConnectionText)
{
    for (const auto behaviour : {FakeReply::Behaviour::HangBeforeReply, FakeReply::Behaviour::StallMidBody,
                                 FakeReply::Behaviour::ResetMidBody}) {
        SCOPED_TRACE(int(behaviour));
        FakeReply reply =
            FakeReply::json(R"({"response":{"id_mch":1,"pad":")" + QByteArray(4000, 'x') + "\"}}");
        reply.behaviour = behaviour;
        fake.setDefaultReply(reply);

        QElapsedTimer timer;
        timer.start();
        const QString result =
            client().AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
        EXPECT_LT(timer.elapsed(), 10000); // the read time-out, not the overall deadline
    }
}

TEST_F(CourierTest, TheOverallDeadlineEndsARequestEvenWhileTheReadTimeOutWaits)
{
    FakeReply reply = FakeReply::json(okDelivery);
    reply.behaviour = FakeReply::Behaviour::HangBeforeReply;
    fake.setDefaultReply(reply);
    CourierSettings settings = settingsFor(fake.baseUrl());
    settings.timeouts.read = std::chrono::seconds(30);
    settings.timeouts.overall = std::chrono::seconds(1);

    QElapsedTimer timer;
    timer.start();
    const QString result = CourierClient(settings).AbrirEntrega(platformKey, companyEmail, companyPassword,
                                                                QStringLiteral("{}"));
    EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
    EXPECT_LT(timer.elapsed(), 15000);
}

TEST_F(CourierTest, AReplyBeyondTheSizeLimitIsAFault)
{
    fake.setDefaultReply(FakeReply::json(R"({"response":{"id_mch":")" + QByteArray(3000, 'x') + "\"}}"));
    CourierSettings settings = settingsFor(fake.baseUrl());
    settings.maxReplyBytes = 1000;

    const QString result = CourierClient(settings).AbrirEntrega(platformKey, companyEmail, companyPassword,
                                                                QStringLiteral("{}"));
    EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
}
