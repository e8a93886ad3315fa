// The courier platform's reply on its way to an operation: charset decoding, the ASCII step,
// the outcome rules, `ExtrairErros` and the member reading of the three operations.
//
// Input: "<status>\n<Content-Type>\n<body>"; an empty status line stands for a reply that never
// arrived (the body is then the fault text). Without two line breaks the whole input is the body
// of a 200 reply declared as UTF-8 JSON.

#include "FuzzSupport.h"
#include "common/JsonReading.h"
#include "common/ReplyDecoder.h"
#include "common/TextConversion.h"
#include "courier/BracketedList.h"

#include <memory>
#include <unicode/ucnv.h>
#include <vector>

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

HttpReply replyFrom(const QByteArray &input)
{
    HttpReply reply;
    const qsizetype first = input.indexOf('\n');
    const qsizetype second = first < 0 ? -1 : input.indexOf('\n', first + 1);
    if (second < 0) {
        reply.status = 200;
        reply.headers = {{"Content-Type", "application/json; charset=UTF-8"}};
        reply.body = input;
        return reply;
    }
    const QByteArray status = input.left(first).trimmed();
    reply.headers = {{"Content-Type", input.mid(first + 1, second - first - 1)}};
    reply.body = input.mid(second + 1);
    if (status.isEmpty()) {
        reply.fault = QString::fromUtf8(reply.body);
        if (reply.fault.isEmpty())
            reply.fault = QStringLiteral("falha");
        reply.body.clear();
    } else {
        reply.status = status.left(4).toInt();
    }
    return reply;
}

bool fitsCodePage1252(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter *)> converter(ucnv_open("windows-1252", &status),
                                                                  ucnv_close);
    require(U_SUCCESS(status), "ICU knows windows-1252");
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::vector<char> out(size_t(text.size()) * 4 + 8);
    ucnv_fromUChars(converter.get(), out.data(), int32_t(out.size()),
                    reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
    return U_SUCCESS(status);
}

void checkConversions(const QString &text)
{
    const QByteArray ascii = TextConversion::toAscii(text);
    require(fuzz::isAscii(ascii), "the ASCII step yields only ASCII", text);
    bool allAscii = true;
    for (QChar c : text)
        allAscii = allAscii && c.unicode() < 0x80;
    if (allAscii)
        require(ascii == text.toLatin1(), "the ASCII step leaves ASCII text alone", text);

    require(fuzz::isAscii(TextConversion::jsonToAscii(text)), "the JSON ASCII step yields only ASCII", text);

    const QString narrow = TextConversion::toCodePage1252(text);
    require(fitsCodePage1252(narrow), "the code-page step yields only Windows-1252 text", text);
    if (fitsCodePage1252(text))
        require(narrow == text, "the code-page step leaves Windows-1252 text alone", text);
}

// Every value of the document read as text, without recursion: nesting may be deep.
void readEveryValue(const rapidjson::Value &root)
{
    std::vector<const rapidjson::Value *> pending{&root};
    while (!pending.empty()) {
        const rapidjson::Value *value = pending.back();
        pending.pop_back();
        const QString text = JsonReading::text(*value);
        if (value->IsObject()) {
            require(text.isEmpty(), "an object reads as the empty text");
            for (const auto &m : value->GetObject())
                pending.push_back(&m.value);
        } else if (value->IsArray()) {
            require(text.isEmpty(), "an array reads as the empty text");
            for (const rapidjson::Value &element : value->GetArray())
                pending.push_back(&element);
        }
    }
}

template <typename Reading> void readAs(Reading &&reading)
{
    try {
        reading();
    } catch (const ReplyFault &) {
        // A missing or mistyped member: the operation reports it as a fault.
    }
}

// What the three operations read from an object reply; a ReplyFault is the only way out.
void readLikeTheOperations(const rapidjson::Document &document)
{
    readAs([&] {
        const rapidjson::Value &response = JsonReading::memberObject(document, "response");
        for (const char *name : {"id", "nome", "endereco", "bairro", "cidade", "uf", "cep", "lat", "lng",
                                 "status_empresa", "telefone", "documento"})
            JsonReading::memberText(response, name);
        BracketedList payments;
        for (const rapidjson::Value &element :
             JsonReading::memberArray(response, "tipos_pagamento").GetArray())
            payments.append(JsonReading::text(element));
        BracketedList categories;
        for (const rapidjson::Value &element : JsonReading::memberArray(response, "categorias").GetArray())
            categories.append(JsonReading::memberText(element, "nome"));
        require(payments.text().size() <= BracketedList::maxLength, "a list keeps 255 characters at most");
        require(categories.text().size() <= BracketedList::maxLength, "a list keeps 255 characters at most");
    });
    readAs([&] {
        const rapidjson::Value &response = JsonReading::memberObject(document, "response");
        JsonReading::memberText(response, "estimativa_valor");
        const rapidjson::Value &desejado = JsonReading::memberObject(response, "desejado");
        JsonReading::member(desejado, "lat");
        JsonReading::member(desejado, "lng");
    });
    readAs([&] {
        const rapidjson::Value &response = JsonReading::memberObject(document, "response");
        if (!response.HasMember("id_mch")) {
            for (const rapidjson::Value &element : JsonReading::memberArray(response, "erros").GetArray())
                JsonReading::text(element);
        }
    });
}

void checkErrors(const QString &text)
{
    const QString messages = ExtrairErros(text);
    require(messages.isEmpty() || messages.endsWith(QStringLiteral("\r\n")),
            "every extracted message ends with CR LF", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const HttpReply reply = replyFrom(fuzz::bytes(data, size));
    const QByteArray contentType = reply.header("Content-Type");
    const QString decoded = TextConversion::decode(reply.body, contentType);
    require(!fuzz::hasLoneSurrogate(decoded), "decoding yields well-formed text", decoded);

    checkConversions(decoded);
    checkConversions(fuzz::rawUtf16(data, size));
    checkErrors(decoded);

    const ReplyDecoder decoder(reply);
    if (!reply.arrived()) {
        require(!decoder.hasObject() && decoder.resultText() == noConnectionText(reply.fault),
                "a reply that never arrived gives the no-connection text");
        return 0;
    }
    if (reply.status < 200 || reply.status > 299) {
        const QString messages = ExtrairErros(decoded);
        require(!decoder.hasObject() && decoder.resultText() == (messages.isEmpty() ? decoded : messages),
                "an error reply gives its messages or its body", decoder.resultText());
        return 0;
    }
    if (reply.status != 200) {
        require(!decoder.hasObject() && decoder.resultText() == QString::number(reply.status),
                "another success status gives its number");
        return 0;
    }
    if (!decoder.hasObject()) {
        require(decoder.resultText() == u"200" || decoder.resultText().startsWith(noConnectionText({})),
                "a 200 reply without an object gives \"200\" or a fault", decoder.resultText());
        // The ASCII step must not spoil a reply that was a JSON object before it.
        const auto before = JsonReading::parse(decoded.toUtf8());
        require(!before || !before->IsObject(), "a JSON object stays readable after the ASCII step", decoded);
        return 0;
    }
    require(decoder.document().IsObject(), "the decoder hands over objects only");
    readEveryValue(decoder.document());
    readLikeTheOperations(decoder.document());
    return 0;
}
