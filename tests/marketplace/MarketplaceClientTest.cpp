#include "MarketplaceFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray tokenReply = R"({"data":{"access_token":"tok-123","expires_in":3600}})";

} // namespace

TEST_F(MarketplaceTest, TokenRequestOnTheWireAndStored)
{
    fake.setReply("POST", "/alfredo/auth/token", FakeReply::json(tokenReply));
    fake.setReply("GET", "/alfredo/orders/search", searchReply({}));
    clock.set(QDateTime(QDate(2024, 3, 15), QTime(14, 0, 0, 0)));

    EXPECT_EQ(client().ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                         QStringLiteral("7"), db()),
              u"TRUE");

    const QList<RecordedRequest> requests = fake.requests();
    ASSERT_EQ(requests.size(), 2);
    const RecordedRequest &token = requests[0];
    EXPECT_EQ(token.method, "POST");
    EXPECT_EQ(token.path, "/alfredo/auth/token");
    EXPECT_EQ(token.body, R"(  {"username" : "loja","password" : "segredo"})");
    EXPECT_EQ(token.header("Authorization"),
              "Basic " + QByteArray("tarsio-sistemas:0123456789abcdefABCDEF0123456789").toBase64());
    EXPECT_EQ(token.header("Accept"), "application/json");
    EXPECT_EQ(token.header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(token.header("Aiq-User-Agent"), "integracao@exemplo.com.br");
    EXPECT_TRUE(token.headerValues("User-Agent").isEmpty());
    EXPECT_EQ(requests[1].header("Authorization"), "Bearer tok-123");
    EXPECT_EQ(requests[1].header("Aiq-User-Agent"), "integracao@exemplo.com.br");

    const ResultSet row = db().query("SELECT TOKEN, VALIDADE FROM CONFIGDELIVERY WHERE ID = 7");
    EXPECT_EQ(row.text(0, u"TOKEN"), u"tok-123");
    EXPECT_EQ(row.text(0, u"VALIDADE"), u"2024-03-15 15:00:00.000");
    EXPECT_EQ(activities,
              QStringList({QStringLiteral("Verificando token"), QStringLiteral("Verificando pedidos")}));

    // A second check asks again and overwrites; a day of life moves to the next day.
    fake.setReply("POST", "/alfredo/auth/token",
                  FakeReply::json(R"({"data":{"access_token":"tok-456","expires_in":"86400"}})"));
    clock.set(QDateTime(QDate(2024, 3, 15), QTime(14, 0, 30, 250)));
    EXPECT_EQ(client().ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                         QStringLiteral("7"), db()),
              u"TRUE");
    const ResultSet again = db().query("SELECT TOKEN, VALIDADE FROM CONFIGDELIVERY WHERE ID = 7");
    EXPECT_EQ(again.text(0, u"TOKEN"), u"tok-456");
    EXPECT_EQ(again.text(0, u"VALIDADE"), u"2024-03-16 14:00:30.250");
}

TEST_F(MarketplaceTest, CredentialsWithQuotesAndBackslashesGiveValidJson)
{
    fake.setReply("POST", "/alfredo/auth/token", FakeReply::json(R"({"erro":"x"})", 400));
    const QString login = QStringLiteral("jo\"ão");
    const QString password = QStringLiteral("a\"b\\c\n");

    client().ObterTokenAiqfome(login, password, QStringLiteral("7"), db());

    QJsonParseError error{};
    const QJsonDocument body = QJsonDocument::fromJson(fake.lastRequest().body, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << fake.lastRequest().body.toStdString();
    EXPECT_EQ(body.object().value(QStringLiteral("username")).toString(), login);
    EXPECT_EQ(body.object().value(QStringLiteral("password")).toString(), password);
    EXPECT_TRUE(fake.lastRequest().body.startsWith("  {\"username\" : \""));

    // Only one of the two given still goes out, with an empty text for the other.
    client().ObterTokenAiqfome(QString(), QStringLiteral("x"), QStringLiteral("7"), db());
    EXPECT_EQ(fake.lastRequest().body, R"(  {"username" : "","password" : "x"})");
}

TEST_F(MarketplaceTest, TokenFailuresLeaveTheRowAndSkipTheSearch)
{
    struct Case
    {
        const char *what;
        FakeReply reply;
        QString expected;
        bool prefixOnly;
    };
    FakeReply redirect = FakeReply::json("movido", 302);
    redirect.contentType = "text/plain";
    redirect.headers = {{"Location", "/alfredo/auth/token2"}};
    FakeReply plain = FakeReply::json("servico em manutencao");
    plain.contentType = "text/plain; charset=utf-8";
    const Case cases[] = {
        {"refused", FakeReply::json(R"({"error":"invalid_grant"})", 401), QStringLiteral("401 LOGIN"), false},
        {"other status", FakeReply::json(R"({"erro":"falhou"})", 500), QStringLiteral(R"({"erro":"falhou"})"),
         false},
        {"redirect not followed", redirect, QStringLiteral("movido"), false},
        {"plain text", plain, QStringLiteral("servico em manutencao"), false},
        {"array", FakeReply::json("[1,2]"), noConnection, true},
        {"no data object", FakeReply::json(R"({"data":"x"})"), noConnection, true},
        {"no expires_in", FakeReply::json(R"({"data":{"access_token":"t"}})"), noConnection, true},
        {"expires_in not whole", FakeReply::json(R"({"data":{"access_token":"t","expires_in":"1h"}})"),
         noConnection, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fake.setReply("POST", "/alfredo/auth/token", c.reply);
        const int before = int(fake.requests().size());
        const QString result = client().ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("segredo"),
                                                          QStringLiteral("7"), db());
        if (c.prefixOnly) {
            EXPECT_TRUE(result.startsWith(c.expected)) << result.toStdString();
            EXPECT_GT(result.size(), c.expected.size());
        } else {
            EXPECT_EQ(result, c.expected);
        }
        EXPECT_EQ(fake.requests().size(), before + 1);
        EXPECT_TRUE(db().query("SELECT TOKEN FROM CONFIGDELIVERY WHERE ID = 7").isNull(0, u"TOKEN"));
    }
}

TEST_F(MarketplaceTest, TokenOnlyOverTls12)
{
    HttpsFake modern(HttpsFake::Options{.tls13Only = true});
    modern.setReply("POST", "/alfredo/auth/token", FakeReply::json(tokenReply));
    const MarketplaceClient c(marketplaceSettingsFor(modern.baseUrl()), clock);

    EXPECT_TRUE(c.ObterTokenAiqfome(QStringLiteral("loja"), QStringLiteral("s"), QStringLiteral("7"), db())
                    .startsWith(noConnection));
    EXPECT_TRUE(db().query("SELECT TOKEN FROM CONFIGDELIVERY WHERE ID = 7").isNull(0, u"TOKEN"));
}

TEST_F(MarketplaceTest, SearchCoversYesterdayAndToday)
{
    clock.set(QDateTime(QDate(2024, 3, 16), QTime(0, 30)));
    fake.setReply("GET", "/alfredo/orders/search", searchReply({summary("A1", "2024-03-15 23:50:00")}));
    fake.setReply("GET", "/alfredo/orders/A1", Detail().reply());

    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");

    const RecordedRequest search = fake.requests().first();
    EXPECT_EQ(search.query,
              "per_page=99999&filter%5Bdate_start%5D=2024-03-15&filter%5Bdate_end%5D=2024-03-16");
    EXPECT_EQ(search.header("Authorization"), "Bearer tok");
    EXPECT_EQ(storedIds(), QStringList{QStringLiteral("A1")});
}

TEST_F(MarketplaceTest, SearchTakesFreshReadDeliveryOrdersOnce)
{
    // The clock stands at 14:00.
    fake.setReply("GET", "/alfredo/orders/search",
                  searchReply({
                      summary("old359", "2024-03-15 10:01:00"),
                      summary("old4h", "2024-03-15 10:00:00"),
                      summary("future359", "2024-03-15 17:59:00"),
                      summary("future4h", "2024-03-15 18:00:00"),
                      summary("readString", "2024-03-15 13:00:00", R"("true")"),
                      summary("readCapital", "2024-03-15 13:00:00", R"("True")"),
                      summary("unread", "2024-03-15 13:00:00", "false"),
                      summary("ready", "2024-03-15 13:00:00", "true", "true"),
                      summary("pickup", "2024-03-15 13:00:00", "true", "false", "true"),
                      summary("old359", "2024-03-15 10:01:00"),
                  }));
    fake.setDefaultReply(Detail().reply());

    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");

    const QList<QByteArray> expected = {"old359", "future359", "readString"};
    EXPECT_EQ(detailPaths(), expected);
    EXPECT_EQ(storedIds(), QStringList({QStringLiteral("old359"), QStringLiteral("future359"),
                                        QStringLiteral("readString")}));
}

TEST_F(MarketplaceTest, StoredOrdersAreNotFetchedAgain)
{
    db().execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO) VALUES (1, 'X1'), (2, 'X2')");
    fake.setReply("GET", "/alfredo/orders/search",
                  searchReply({summary("X1", "2024-03-15 13:00:00"), summary("X2", "2024-03-15 13:00:00")}));
    fake.setDefaultReply(Detail().reply());

    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");

    EXPECT_EQ(detailPaths(), QList<QByteArray>{"X2"});
    EXPECT_EQ(db().query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE IDPEDIDO = 'X1'").integer(0, u"N"), 1);
}

TEST_F(MarketplaceTest, OrderIdStaysOnePathSegment)
{
    // What the marketplace receives after "/alfredo/orders/"; dots are encoded too, since a
    // client or server would otherwise resolve "." and ".." to another resource.
    const struct
    {
        QByteArray id;
        QByteArray segment;
    } cases[] = {
        {"a/b?c d#e", "a%2Fb%3Fc%20d%23e"},
        {"..", "%2E%2E"},
        {".", "%2E"},
        {"../search", "%2E%2E%2Fsearch"},
        {" 12 34 ", "%2012%2034%20"},
        {"x?per_page=1&y", "x%3Fper_page%3D1%26y"},
        {"50%2F1", "50%252F1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id.toStdString());
        HttpsFake service;
        service.setReply("GET", "/alfredo/orders/search",
                         searchReply({summary(c.id, "2024-03-15 13:00:00")}));
        service.setReply("GET", "/alfredo/orders/" + c.segment, Detail().reply());
        service.setDefaultReply(FakeReply::json(R"({"erro":"outro recurso"})", 404));
        db().execute("DELETE FROM PEDIDOS");

        EXPECT_EQ(MarketplaceClient(marketplaceSettingsFor(service.baseUrl()), clock)
                      .BuscarPedidosAiqfome(QStringLiteral("tok"), db()),
                  u"TRUE");

        ASSERT_EQ(service.requests().size(), 2);
        EXPECT_EQ(service.requests().at(1).path, "/alfredo/orders/" + c.segment);
        EXPECT_EQ(service.requests().at(1).query, "");
        EXPECT_EQ(storedIds(), QStringList{QString::fromUtf8(c.id)});
    }
}

TEST_F(MarketplaceTest, InsertComposesCustomerPhoneAndAddress)
{
    struct Case
    {
        const char *what;
        Detail detail;
        QString cliente;
        QString telefone;
        QString endereco;
    };
    // Replies are reduced to ASCII before they are read.
    const QString fullAddress = QStringLiteral("Rua das Flores 120, Apto 3 perto da praca - Maringa PR");
    Detail emptyPhone;
    emptyPhone.phone = R"("")";
    Detail nullPhone;
    nullPhone.phone = "null";
    Detail nullComplement;
    nullComplement.complement = "null";
    Detail emptySurname;
    emptySurname.surname = R"("")";
    // Phones type curly quotes; reduced to ASCII they must not end the JSON string.
    Detail curlyQuotes;
    curlyQuotes.reference = "\"perto do \u201CBar do Z\u00E9\u201D\"";
    const Case cases[] = {
        {"complete", Detail(), QStringLiteral("Ana Souza"), QStringLiteral("4433221100"), fullAddress},
        {"empty phone", emptyPhone, QStringLiteral("Ana Souza"), QStringLiteral("44999887766"), fullAddress},
        {"null phone", nullPhone, QStringLiteral("Ana Souza"), QStringLiteral("null"), fullAddress},
        {"null complement", nullComplement, QStringLiteral("Ana Souza"), QStringLiteral("4433221100"),
         QStringLiteral("Rua das Flores 120, null perto da praca - Maringa PR")},
        {"empty surname", emptySurname, QStringLiteral("Ana "), QStringLiteral("4433221100"), fullAddress},
        {"curly quotes", curlyQuotes, QStringLiteral("Ana Souza"), QStringLiteral("4433221100"),
         QStringLiteral("Rua das Flores 120, Apto 3 perto do \"Bar do Ze\" - Maringa PR")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        fake.setReply("GET", "/alfredo/orders/P9", c.detail.reply());

        EXPECT_EQ(client().ImportarPedidoAiqfome(QStringLiteral("tok"), QStringLiteral("P9"), db()), u"TRUE");

        const ResultSet row = db().query("SELECT * FROM PEDIDOS");
        ASSERT_EQ(row.rowCount(), 1);
        EXPECT_EQ(row.integer(0, u"ORIGEM"), 1);
        EXPECT_EQ(row.text(0, u"IDPEDIDO"), u"P9");
        EXPECT_EQ(row.text(0, u"DATAHORA"), u"2024-03-15 13:10:00");
        EXPECT_EQ(row.text(0, u"CLIENTE"), c.cliente);
        EXPECT_EQ(row.text(0, u"TELEFONE"), c.telefone);
        EXPECT_EQ(row.text(0, u"ENDERECO"), c.endereco);
        EXPECT_EQ(row.text(0, u"LATITUDE"), u"-23.4205");
        EXPECT_EQ(row.text(0, u"LONGITUDE"), u"-51.9331");
        EXPECT_FALSE(row.isNull(0, u"VALUE"));
        EXPECT_EQ(row.text(0, u"VALUE"), u"");
        EXPECT_TRUE(row.isNull(0, u"ID_MCH"));
    }
    EXPECT_TRUE(activities.contains(QStringLiteral("Verificando pedido P9")));
}

TEST_F(MarketplaceTest, DetailThatNoLongerQualifiesOrFailsInsertsNothing)
{
    Detail cancelled;
    cancelled.isCancelled = "true";
    Detail delivered;
    delivered.isDelivered = R"("true")";
    Detail noAddress = Detail();
    FakeReply broken = FakeReply::json(
        R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,"is_delivered":false,)"
        R"("created_at":"2024-03-15 13:10:00","user":{"name":"Ana","surname":"S","address":[]}}})");
    fake.setReply("GET", "/alfredo/orders/search",
                  searchReply({summary("C1", "2024-03-15 13:00:00"), summary("D1", "2024-03-15 13:00:00"),
                               summary("B1", "2024-03-15 13:00:00"), summary("E1", "2024-03-15 13:00:00"),
                               summary("G1", "2024-03-15 13:00:00")}));
    fake.setReply("GET", "/alfredo/orders/C1", cancelled.reply());
    fake.setReply("GET", "/alfredo/orders/D1", delivered.reply());
    fake.setReply("GET", "/alfredo/orders/B1", broken);
    fake.setReply("GET", "/alfredo/orders/E1", FakeReply::json(R"({"erro":"nao achado"})", 404));
    fake.setReply("GET", "/alfredo/orders/G1", Detail().reply());

    EXPECT_EQ(client().BuscarPedidosAiqfome(QStringLiteral("tok"), db()), u"TRUE");
    EXPECT_EQ(storedIds(), QStringList{QStringLiteral("G1")});

    EXPECT_EQ(client().ImportarPedidoAiqfome(QStringLiteral("tok"), QStringLiteral("E1"), db()),
              QStringLiteral(R"({"erro":"nao achado"})"));
    EXPECT_TRUE(client()
                    .ImportarPedidoAiqfome(QStringLiteral("tok"), QStringLiteral("B1"), db())
                    .startsWith(noConnection));
    fake.setReply("GET", "/alfredo/orders/T1", FakeReply::json("nao e json"));
    EXPECT_EQ(client().ImportarPedidoAiqfome(QStringLiteral("tok"), QStringLiteral("T1"), db()), u"");
}

TEST_F(MarketplaceTest, FaultInTheWalkKeepsEarlierImports)
{
    fake.setDefaultReply(Detail().reply());
    struct Case
    {
        const char *what;
        QByteArray badElement;
    };
    const Case cases[] = {
        {"date that does not parse", summary("bad", "15/03/2024 13:00")},
        {"element not an object", "42"},
        {"member missing", R"({"order_id":"bad","created_at":"2024-03-15 13:00:00","is_ready":false})"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        fake.setReply("GET", "/alfredo/orders/search",
                      searchReply({summary("first", "2024-03-15 13:00:00"), c.badElement,
                                   summary("after", "2024-03-15 13:00:00")}));

        const QString result = client().BuscarPedidosAiqfome(QStringLiteral("tok"), db());

        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
        EXPECT_GT(result.size(), noConnection.size());
        EXPECT_EQ(storedIds(), QStringList{QStringLiteral("first")});
    }
}

TEST_F(MarketplaceTest, SearchFailuresImportNothing)
{
    struct Case
    {
        const char *what;
        FakeReply reply;
        QString expected;
    };
    const Case cases[] = {
        {"status", FakeReply::json(R"({"message":"Unauthenticated."})", 401),
         QStringLiteral(R"({"message":"Unauthenticated."})")},
        {"not json", FakeReply::json("<html>erro</html>"), QStringLiteral("<html>erro</html>")},
        {"no data", FakeReply::json(R"({"pedidos":[]})"), noConnection},
        {"data not an array", FakeReply::json(R"({"data":{}})"), noConnection},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fake.setReply("GET", "/alfredo/orders/search", c.reply);
        const QString result = client().BuscarPedidosAiqfome(QStringLiteral("tok"), db());
        EXPECT_TRUE(result.startsWith(c.expected)) << result.toStdString();
        EXPECT_TRUE(storedIds().isEmpty());
        EXPECT_TRUE(detailPaths().isEmpty());
    }
}
