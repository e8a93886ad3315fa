#include "CourierFixture.h"

#include <QUrl>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray path = "/api/integracao/estimarEntrega";

EstimateQuery sampleQuery()
{
    EstimateQuery q;
    q.enderecoPartida = QStringLiteral("Rua das Flores, 10");
    q.bairroPartida = QStringLiteral("Centro");
    q.cidadePartida = QStringLiteral("Maringá");
    q.estadoPartida = QStringLiteral("PR");
    q.latPartida = QStringLiteral("-23.4210");
    q.lngPartida = QStringLiteral("-51.9331");
    q.enderecoDesejado = QStringLiteral("Av. Brasil 1500 apto 3 & fundos = casa #2 + 50% off");
    q.bairroDesejado = QStringLiteral("Centro");
    q.cidadeDesejado = QStringLiteral("Maringá");
    q.estadoDesejado = QStringLiteral("PR");
    q.latDesejado = QStringLiteral("-23.4300");
    q.lngDesejado = QStringLiteral("-51.9400");
    q.categoriaNome = QStringLiteral("Moto");
    q.comRetorno = QStringLiteral("false");
    return q;
}

// The query as the platform parses it: keys in order, values decoded.
QList<QPair<QString, QString>> decodeQuery(const QByteArray &raw)
{
    QList<QPair<QString, QString>> items;
    for (const QByteArray &pair : raw.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        items.append({QUrl::fromPercentEncoding(pair.left(eq)), QUrl::fromPercentEncoding(pair.mid(eq + 1))});
    }
    return items;
}

qint64 insertOrder(Database &db, const char *idPedido)
{
    db.execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, TAXAENTREGA, LATITUDEMCH, LONGITUDEMCH) "
               "VALUES (1, :ID, 'old fee', 'old lat', 'old lng')",
               {{":ID", QString::fromLatin1(idPedido)}});
    return db.query("SELECT last_insert_rowid() AS ID").integer(0, u"ID");
}

QStringList storedEstimate(Database &db, qint64 id)
{
    const ResultSet r =
        db.query("SELECT TAXAENTREGA, LATITUDEMCH, LONGITUDEMCH FROM PEDIDOS WHERE ID = :ID", {{":ID", id}});
    return {r.text(0, u"TAXAENTREGA"), r.text(0, u"LATITUDEMCH"), r.text(0, u"LONGITUDEMCH")};
}

} // namespace

TEST_F(CourierTest, EstimarEntregaSendsEveryValueWholeAndInOrder)
{
    fake.setReply("GET", path,
                  FakeReply::json(R"({"response":{"estimativa_valor":7,"desejado":{"lat":1,"lng":2}}})"));
    const qint64 id = insertOrder(db(), "A1");
    EstimateQuery q = sampleQuery();
    q.latDesejado.clear(); // an order without coordinates
    q.lngDesejado.clear();

    ASSERT_EQ(
        client().EstimarEntrega(platformKey, companyEmail, companyPassword, q, QString::number(id), db()),
        u"TRUE");

    const RecordedRequest r = fake.lastRequest();
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.path, path);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.header("api-key"), platformKey.toUtf8());
    EXPECT_EQ(r.header("Content-Type"), "application/json; charset=UTF-8");
    // Nothing in the raw query may be read as a separator, a fragment or a blank.
    EXPECT_FALSE(r.query.contains(' ') || r.query.contains('#') || r.query.contains('+'))
        << r.query.constData();
    EXPECT_TRUE(r.query.contains("lat_desejado=&lng_desejado=&latlng_paradas=&")) << r.query.constData();

    const QList<QPair<QString, QString>> expected = {
        {QStringLiteral("endereco_partida"), q.enderecoPartida},
        {QStringLiteral("bairro_partida"), q.bairroPartida},
        {QStringLiteral("cidade_partida"), q.cidadePartida},
        {QStringLiteral("estado_partida"), q.estadoPartida},
        {QStringLiteral("lat_partida"), q.latPartida},
        {QStringLiteral("lng_partida"), q.lngPartida},
        {QStringLiteral("endereco_desejado"), q.enderecoDesejado},
        {QStringLiteral("bairro_desejado"), q.bairroDesejado},
        {QStringLiteral("cidade_desejado"), q.cidadeDesejado},
        {QStringLiteral("estado_desejado"), q.estadoDesejado},
        {QStringLiteral("lat_desejado"), QString()},
        {QStringLiteral("lng_desejado"), QString()},
        {QStringLiteral("latlng_paradas"), QString()},
        {QStringLiteral("categoria_nome"), q.categoriaNome},
        {QStringLiteral("com_retorno"), q.comRetorno},
    };
    EXPECT_EQ(decodeQuery(r.query), expected);
}

TEST_F(CourierTest, EstimarEntregaStoresTheFeeAndCoordinatesAsWritten)
{
    const qint64 id = insertOrder(db(), "A1");
    const qint64 other = insertOrder(db(), "B2");
    const struct
    {
        QByteArray reply;
        QStringList stored;
    } cases[] = {
        {R"({"response":{"estimativa_valor":5.50,"desejado":{"lat":-23.5500,"lng":"-51.9"}}})",
         {QStringLiteral("5.50"), QStringLiteral("-23.5500"), QStringLiteral("-51.9")}},
        {R"({"response":{"estimativa_valor":"R$ 7,00","desejado":{"lat":"S\u00e3o","lng":1e-3}}})",
         {QStringLiteral("R$ 7,00"), QStringLiteral("São"), QStringLiteral("1e-3")}},
    };
    for (const auto &c : cases) {
        fake.setReply("GET", path, FakeReply::json(c.reply));
        EXPECT_EQ(client().EstimarEntrega(platformKey, companyEmail, companyPassword, sampleQuery(),
                                          QString::number(id), db()),
                  u"TRUE");
        EXPECT_EQ(storedEstimate(db(), id), c.stored);
    }
    EXPECT_EQ(storedEstimate(db(), other),
              (QStringList{QStringLiteral("old fee"), QStringLiteral("old lat"), QStringLiteral("old lng")}));
}

TEST_F(CourierTest, EstimarEntregaLeavesTheRowAloneOnAFault)
{
    const qint64 id = insertOrder(db(), "A1");
    const QStringList untouched = {QStringLiteral("old fee"), QStringLiteral("old lat"),
                                   QStringLiteral("old lng")};
    const struct
    {
        const char *what;
        QByteArray reply;
        bool fault;
    } cases[] = {
        {"fee missing", R"({"response":{"desejado":{"lat":1,"lng":2}}})", true},
        {"desejado missing", R"({"response":{"estimativa_valor":7}})", true},
        {"desejado not an object", R"({"response":{"estimativa_valor":7,"desejado":"1,2"}})", true},
        {"lng missing", R"({"response":{"estimativa_valor":7,"desejado":{"lat":1}}})", true},
        {"lat an object", R"({"response":{"estimativa_valor":7,"desejado":{"lat":{},"lng":2}}})", true},
        {"lng a list", R"({"response":{"estimativa_valor":7,"desejado":{"lat":1,"lng":[2]}}})", true},
        {"lat null", R"({"response":{"estimativa_valor":7,"desejado":{"lat":null,"lng":2}}})", true},
        {"not JSON", "{response", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.setReply("GET", path, FakeReply::json(c.reply));
        const QString result = client().EstimarEntrega(platformKey, companyEmail, companyPassword,
                                                       sampleQuery(), QString::number(id), db());
        EXPECT_NE(result, u"TRUE");
        EXPECT_EQ(result.startsWith(noConnection), c.fault) << result.toStdString();
        EXPECT_EQ(storedEstimate(db(), id), untouched);
    }
}

TEST_F(CourierTest, EstimarEntregaRefusesARowIdThatIsNoInteger)
{
    fake.setReply("GET", path,
                  FakeReply::json(R"({"response":{"estimativa_valor":7,"desejado":{"lat":1,"lng":2}}})"));
    for (const char *rowId : {"", "12a", "1 OR 1=1", "0x10", "99999999999999999999"}) {
        SCOPED_TRACE(rowId);
        const QString result = client().EstimarEntrega(platformKey, companyEmail, companyPassword,
                                                       sampleQuery(), QString::fromLatin1(rowId), db());
        EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
    }
    EXPECT_TRUE(fake.requests().isEmpty());
}
