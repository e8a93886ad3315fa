#include "common/ReplyDecoder.h"

#include "CourierFixture.h"
#include "common/JsonReading.h"
#include "common/TextConversion.h"

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

using namespace brisfold;
using namespace brisfold::test;

namespace {

struct OutcomeCase
{
    const char *what;
    int status;
    QByteArray body;
    QByteArray contentType;
    QString expected;           // exact result text
    bool faultExpected = false; // result is the no-connection text with some fault after it
};

} // namespace

// The outcome order, seen through the delivery request, whose reading is the smallest.
TEST_F(CourierTest, ResultTextFollowsTheOutcomeOrder)
{
    const QByteArray json = "application/json; charset=UTF-8";
    const QByteArray threeErrors = R"({"errors":[{"message":"A"},"B",{"code":3}]})";
    const QByteArray page = "<html><body><h1>502 Bad Gateway</h1></body></html>";
    const OutcomeCase cases[] = {
        {"id_mch present", 200, R"({"response":{"id_mch":"981"}})", json, QStringLiteral("TRUE")},
        {"id_mch null", 200, R"({"response":{"id_mch":null}})", json, QStringLiteral("TRUE")},
        {"erros listed", 200, R"({"response":{"erros":["A",5.50]}})", json, QStringLiteral(" - A - 5.50")},
        {"erros empty", 200, R"({"response":{"erros":[]}})", json, QString()},
        {"204 empty", 204, "", "", QStringLiteral("204")},
        {"201 with an object", 201, R"({"response":{"id_mch":1}})", json, QStringLiteral("201")},
        {"200 not JSON", 200, "OK, recebido", "text/plain", QStringLiteral("200")},
        {"200 array", 200, "[1,2]", json, {}, true},
        {"200 bare string", 200, R"("TRUE")", json, {}, true},
        {"response missing", 200, R"({"id_mch":1})", json, {}, true},
        {"response not an object", 200, R"({"response":"ok"})", json, {}, true},
        {"neither id_mch nor erros", 200, R"({"response":{}})", json, {}, true},
        {"erros not a list", 200, R"({"response":{"erros":"falhou"}})", json, {}, true},
        {"errors extracted", 400, R"({"errors":[{"message":"A"},"B"]})", json, QStringLiteral("A\r\nB\r\n")},
        {"element without message", 422, threeErrors, json, QString::fromUtf8(threeErrors)},
        {"HTML error page", 502, page, "text/html", QString::fromUtf8(page)},
        {"error body in Latin-1 keeps its accents", 400, "Endere\xe7o inv\xe1lido",
         "text/plain; charset=ISO-8859-1", QStringLiteral("Endereço inválido")},
    };
    for (const OutcomeCase &c : cases) {
        SCOPED_TRACE(c.what);
        FakeReply reply = FakeReply::json(c.body, c.status);
        reply.contentType = c.contentType;
        fake.setReply("POST", "/api/integracao/abrirEntrega", reply);

        const QString result =
            client().AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
        if (c.faultExpected) {
            EXPECT_TRUE(result.startsWith(noConnection)) << result.toStdString();
            EXPECT_GT(result.size(), noConnection.size()) << "the fault's own text follows";
        } else {
            EXPECT_EQ(result, c.expected);
        }
    }
}

TEST(ExtrairErros, CollectsMessagesOrNothing)
{
    const struct
    {
        const char *reply;
        const char *expected;
    } cases[] = {
        {R"({"errors":[{"message":"Endereço fora da área"},"B",42,true,null]})",
         "Endereço fora da área\r\nB\r\n42\r\n"},
        {R"({"errors":[{"message":{"x":1}}]})", "\r\n"},
        {R"({"errors":[{"message":"A"},{"text":"B"}]})", ""},
        {R"({"errors":[]})", ""},
        {R"({"errors":"falhou"})", ""},
        {R"({"message":"falhou"})", ""},
        {R"(["falhou"])", ""},
        {"<html>erro</html>", ""},
        {"", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(ExtrairErros(QString::fromUtf8(c.reply)), QString::fromUtf8(c.expected));
    }
}

TEST(TextConversion, ReducesToAsciiWithLookAlikesOrQuestionMarks)
{
    const struct
    {
        const char *in;
        const char *out;
    } cases[] = {
        {"São João", "Sao Joao"},
        {"AÇÚCAR ñandú", "ACUCAR nandu"},
        {"Straße – “aspas”", "Strasse - \"aspas\""},
        {"中 😀 x", "? ? x"},
        {R"({"cidade":"S\u00e3o Paulo"})", R"({"cidade":"S\u00e3o Paulo"})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(TextConversion::toAscii(QString::fromUtf8(c.in)), QByteArray(c.out));
    }
}

// The check's worker and the UI thread share the one transliterator.
TEST(TextConversion, ThreadsConvertAtTheSameTimeWithoutMixingTheirTexts)
{
    const std::pair<QString, QByteArray> texts[] = {
        {QStringLiteral("São João da Boa Vista, Avenida Paranavaí"),
         "Sao Joao da Boa Vista, Avenida Paranavai"},
        {QStringLiteral("Straße – “aspas” ñandú"), "Strasse - \"aspas\" nandu"},
    };
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const auto &[in, out] = texts[t % 2];
            for (int i = 0; i < 300; ++i) {
                if (TextConversion::toAscii(in) != out)
                    ++wrong;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(TextConversion, DecodesByTheDeclaredCharset)
{
    EXPECT_EQ(TextConversion::decode("S\xe3o Paulo", "application/json; charset=iso-8859-1"), u"São Paulo");
    EXPECT_EQ(TextConversion::decode("S\xe3o Paulo", R"(application/json;charset="windows-1252")"),
              u"São Paulo");
    EXPECT_EQ(TextConversion::decode("S\xc3\xa3o", "application/json"), u"São");
    EXPECT_EQ(TextConversion::decode("S\xc3\xa3o", "application/json; charset=no-such-charset"), u"São");
    // Malformed UTF-8 is replaced, never trusted.
    EXPECT_EQ(TextConversion::toAscii(TextConversion::decode("a\xff\xfe"
                                                             "b",
                                                             "application/json; charset=utf-8")),
              "a??b");
}

// Look-alikes of a quote or a backslash used to end the string or start an escape, so a valid
// reply was read as no JSON at all ("200").
TEST(ReplyDecoder, LookAlikesOfJsonSyntaxKeepTheReplyReadable)
{
    const struct
    {
        const char *what;
        QByteArray body;
        QByteArray contentType;
        const char *nome; // UTF-8
    } cases[] = {
        {"curly quotes",
         "{\"nome\":\"Pizzaria \xe2\x80\x9c"
         "Boa\xe2\x80\x9d\"}",
         "application/json; charset=UTF-8", "Pizzaria \"Boa\""},
        {"curly quotes in Windows-1252",
         "{\"nome\":\"\x93"
         "Boa\x94\"}",
         "application/json; charset=windows-1252", "\"Boa\""},
        {"full-width quote and backslash",
         "{\"nome\":\"\xef\xbc\x82"
         "C:\xef\xbc\xbctemp\"}",
         "application/json", "\"C:\\temp"},
        {"next to an escape", "{\"nome\":\"\\\"\xe2\x80\x9d\\u00e3\"}", "application/json", "\"\"\xc3\xa3"},
        {"a decomposed letter", "{\"nome\":\"Sa\xcc\x83o\"}", "application/json", "Sao"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        HttpReply reply;
        reply.status = 200;
        reply.headers = {{"Content-Type", c.contentType}};
        reply.body = c.body;
        const ReplyDecoder decoder(reply);
        ASSERT_TRUE(decoder.hasObject()) << decoder.resultText().toStdString();
        EXPECT_EQ(JsonReading::memberText(decoder.document(), "nome"), QString::fromUtf8(c.nome));
    }
}
