#include "CourierFixture.h"

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray path = "/api/integracao/empresa";

// A profile reply; `extra` overrides or adds members inside "response".
QByteArray profile(const QByteArray &payments = R"(["F","D","X"])",
                   const QByteArray &categories = R"([{"nome":"Moto"},{"nome":"Carro"}])",
                   const QByteArray &extra = R"("documento":"12.345.678/0001-90")")
{
    // `extra` comes first, so where it repeats a member its value is the one read.
    return R"({"response":{)" + extra +
           R"(,"id":4711,"nome":"Pizzaria Bom Sabor","endereco":"Rua das Flores, 10",)"
           R"("bairro":"Centro","cidade":"S)"
           "\xc3\xa3"
           R"(o Paulo","uf":"SP","cep":"01001-000","lat":-23.5500,"lng":"-46.6333",)"
           R"("status_empresa":"ATIVO","telefone":"11 99999-0000","tipos_pagamento":)" +
           payments + R"(,"categorias":)" + categories + "}}";
}

void insertOtherCompany(Database &db)
{
    db.execute("INSERT INTO EMPRESA (IDMACHINE, NOME, EMAIL) VALUES ('1', 'Outra', 'outra@x.com')");
}

QString column(Database &db, const char *name)
{
    const ResultSet rows = db.query("SELECT * FROM EMPRESA");
    return rows.rowCount() == 1 ? rows.text(0, QString::fromLatin1(name))
                                : QStringLiteral("<%1 rows>").arg(rows.rowCount());
}

} // namespace

TEST_F(CourierTest, ConsultaEmpresaReplacesTheCompanyRow)
{
    insertOtherCompany(db());
    fake.setReply("GET", path, FakeReply::json(profile()));

    EXPECT_EQ(client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true), u"TRUE");

    const ResultSet rows = db().query("SELECT * FROM EMPRESA");
    ASSERT_EQ(rows.rowCount(), 1);
    const std::pair<const char *, QString> expected[] = {
        {"IDMACHINE", QStringLiteral("4711")},
        {"NOME", QStringLiteral("Pizzaria Bom Sabor")},
        {"ENDERECO", QStringLiteral("Rua das Flores, 10")},
        {"BAIRRO", QStringLiteral("Centro")},
        {"CIDADE", QStringLiteral("Sao Paulo")}, // raw UTF-8 goes through the ASCII step
        {"UF", QStringLiteral("SP")},
        {"CEP", QStringLiteral("01001-000")},
        {"LAT", QStringLiteral("-23.5500")}, // a number keeps its trailing zeros
        {"LNG", QStringLiteral("-46.6333")},
        {"STATUS", QStringLiteral("ATIVO")},
        {"TIPOSPAGAMENTOS", QStringLiteral("[F] [D] [X] ")},
        {"CATEGORIAS", QStringLiteral("[Moto] [Carro] ")},
        {"AUTOCONNECT", QStringLiteral("S")},
        {"EMAIL", companyEmail},
        {"SENHA", companyPassword},
        {"TELEFONE", QStringLiteral("11 99999-0000")},
        {"DOCUMENTO", QStringLiteral("12.345.678/0001-90")},
    };
    for (const auto &[name, value] : expected)
        EXPECT_EQ(rows.text(0, QString::fromLatin1(name)), value) << name;
}

TEST_F(CourierTest, ConsultaEmpresaListsAndFlag)
{
    QByteArray manyCategories = "[";
    for (int i = 0; i < 40; ++i)
        manyCategories +=
            (i ? "," : "") + QByteArray(R"({"nome":"Categoria )") + QByteArray::number(i) + "\"}";
    manyCategories += "]";
    QString cutList;
    for (int i = 0; i < 40; ++i)
        cutList += QStringLiteral("[Categoria %1] ").arg(i);
    cutList.truncate(255);

    const struct
    {
        const char *what;
        QByteArray payments;
        QByteArray categories;
        QString storedPayments;
        QString storedCategories;
    } cases[] = {
        {"empty lists", "[]", "[]", QString(), QString()},
        {"items as text", R"(["f",7,true,null,{"x":1}])", R"([{"nome":"Moto [A]"},{"nome":2.50}])",
         QStringLiteral("[f] [7] [true] [null] [] "), QStringLiteral("[Moto [A]] [2.50] ")},
        {"cut at 255 characters", R"(["F"])", manyCategories, QStringLiteral("[F] "), cutList},
        // Escapes carry what the ASCII step never saw; the lists hold only what Windows-1252 can.
        {"held to Windows-1252", R"(["\u20ac"])", R"([{"nome":"Caminh\u00e3o"},{"nome":"\u0107\u4e2d"}])",
         QStringLiteral("[€] "), QStringLiteral("[Caminhão] [c?] ")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake.setReply("GET", path, FakeReply::json(profile(c.payments, c.categories)));
        EXPECT_EQ(client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), false), u"TRUE");
        EXPECT_EQ(column(db(), "TIPOSPAGAMENTOS"), c.storedPayments);
        EXPECT_EQ(column(db(), "CATEGORIAS"), c.storedCategories);
        EXPECT_EQ(column(db(), "AUTOCONNECT"), u"N");
    }
}

TEST_F(CourierTest, ConsultaEmpresaReadsEscapesAfterTheAsciiStep)
{
    fake.setReply(
        "GET", path,
        FakeReply::json(profile(R"(["F"])", "[]", R"("documento":"1","nome":"Jo\u00e3o \"Z\" \\ ok")")));
    ASSERT_EQ(client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true), u"TRUE");
    EXPECT_EQ(column(db(), "NOME"), u"João \"Z\" \\ ok");
}

TEST_F(CourierTest, ConsultaEmpresaLeavesTheRowAloneWhenTheReplyIsBad)
{
    QByteArray deep = QByteArray(200000, '[') + QByteArray(200000, ']');
    const struct
    {
        const char *what;
        FakeReply reply;
        bool fault;
    } cases[] = {
        {"response missing", FakeReply::json(R"({"resposta":{}})"), true},
        {"response not an object", FakeReply::json(R"({"response":[1]})"), true},
        {"a member missing", FakeReply::json(profile("[]", "[]", R"("documentos":"1")")), true},
        {"payments not a list", FakeReply::json(profile(R"("F")")), true},
        {"categories not a list", FakeReply::json(profile("[]", R"({"nome":"Moto"})")), true},
        {"category not an object", FakeReply::json(profile("[]", R"(["Moto"])")), true},
        {"category without nome", FakeReply::json(profile("[]", R"([{"nome":"Moto"},{"name":"Carro"}])")),
         true},
        {"deeply nested array", FakeReply::json(deep), true},
        {"error reply", FakeReply::json(R"({"errors":[{"message":"Credenciais invalidas"}]})", 401), false},
        {"not JSON", FakeReply::json("<html></html>"), false},
        {"truncated JSON", FakeReply::json(profile().left(120)), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM EMPRESA");
        insertOtherCompany(db());
        fake.setReply("GET", path, c.reply);

        const QString result =
            client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true);
        EXPECT_NE(result, u"TRUE");
        EXPECT_EQ(result.startsWith(noConnection), c.fault) << result.left(200).toStdString();
        EXPECT_EQ(column(db(), "NOME"), u"Outra");
    }
}

TEST_F(CourierTest, ConsultaEmpresaSurvivesHostileButValidReplies)
{
    // Several megabytes, deep nesting where nothing is read, bytes that are not UTF-8, another charset.
    QByteArray huge = "[";
    for (int i = 0; i < 200000; ++i)
        huge += (i ? "," : "") + QByteArray(R"({"nome":"Moto"})");
    huge += "]";
    const QByteArray deep = R"("documento":"1","extra":)" + QByteArray(100000, '[') + QByteArray(100000, ']');
    const QByteArray badUtf8 = R"("documento":"1","nome":"Bom )"
                               "\xff\xfe"
                               R"( Sabor")";
    const struct
    {
        const char *what;
        QByteArray body;
        const char *column;
        QString value;
        QByteArray contentType = "application/json; charset=UTF-8";
    } cases[] = {
        {"several megabytes", profile("[]", huge), "CATEGORIAS",
         QStringLiteral("[Moto] ").repeated(37).left(255)},
        {"deeply nested member", profile("[]", "[]", deep), "DOCUMENTO", QStringLiteral("1")},
        {"invalid UTF-8", profile("[]", "[]", badUtf8), "NOME", QStringLiteral("Bom ?? Sabor")},
        {"declared Latin-1", profile("[]", "[]", "\"documento\":\"1\",\"nome\":\"Jo\xe3o\""), "NOME",
         QStringLiteral("Joao"), "application/json; charset=ISO-8859-1"},
        {"wrong kinds read as text", profile("[]", "[]", R"("documento":{"n":1},"nome":false,"uf":null)"),
         "NOME", QStringLiteral("false")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FakeReply reply = FakeReply::json(c.body);
        reply.contentType = c.contentType;
        fake.setReply("GET", path, reply);
        EXPECT_EQ(client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true), u"TRUE");
        EXPECT_EQ(column(db(), c.column), c.value);
    }
    EXPECT_EQ(column(db(), "DOCUMENTO"), u"");
    EXPECT_EQ(column(db(), "UF"), u"null");
}

TEST_F(CourierTest, ConsultaEmpresaKeepsTheOldRowWhenTheInsertFails)
{
    insertOtherCompany(db());
    db().execute(
        "CREATE TRIGGER refuse BEFORE INSERT ON EMPRESA BEGIN SELECT RAISE(ABORT, 'disco cheio'); END");
    fake.setReply("GET", path, FakeReply::json(profile()));

    const QString result = client().ConsultaEmpresa(platformKey, companyEmail, companyPassword, db(), true);
    EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
    EXPECT_TRUE(result.contains(u"disco cheio")) << result.toStdString();
    EXPECT_EQ(column(db(), "NOME"), u"Outra");
}
