#include "common/ReplyDecoder.h"

#include "common/JsonReading.h"
#include "common/TextConversion.h"

namespace brisfold {

QString noConnectionText(const QString &fault)
{
    return QStringLiteral("Sem Conexão - Verifique sua Internet! ,") + fault;
}

QString ExtrairErros(const QString &replyText)
{
    const auto document = JsonReading::parse(replyText.toUtf8());
    if (!document || !document->IsObject())
        return {};
    const auto errors = document->FindMember("errors");
    if (errors == document->MemberEnd() || !errors->value.IsArray())
        return {};
    QString messages;
    for (const rapidjson::Value &element : errors->value.GetArray()) {
        if (element.IsObject()) {
            const auto message = element.FindMember("message");
            if (message == element.MemberEnd())
                return {};
            messages += JsonReading::text(message->value) + QStringLiteral("\r\n");
        } else if (element.IsString() || element.IsNumber()) {
            messages += JsonReading::text(element) + QStringLiteral("\r\n");
        }
    }
    return messages;
}

ReplyDecoder::ReplyDecoder(const HttpReply &reply)
{
    if (!reply.arrived()) {
        resultText_ = noConnectionText(reply.fault);
        return;
    }
    const QByteArray contentType = reply.header("Content-Type");
    if (reply.status < 200 || reply.status > 299) {
        const QString body = TextConversion::decode(reply.body, contentType);
        const QString messages = ExtrairErros(body);
        resultText_ = messages.isEmpty() ? body : messages;
        return;
    }
    if (reply.status != 200) {
        resultText_ = QString::number(reply.status);
        return;
    }
    auto document =
        JsonReading::parse(TextConversion::jsonToAscii(TextConversion::decode(reply.body, contentType)));
    if (!document) {
        resultText_ = QString::number(reply.status);
    } else if (!document->IsObject()) {
        resultText_ = noConnectionText(QStringLiteral("Resposta inválida: o conteúdo não é um objeto JSON"));
    } else {
        document_ = std::move(document);
    }
}

} // namespace brisfold
