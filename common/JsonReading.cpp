#include "common/JsonReading.h"

namespace brisfold::JsonReading {

namespace {

// Numbers as strings keep "5.50" as "5.50"; the iterative parser keeps the stack flat.
constexpr unsigned parseFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag;

QString name(const char *n)
{
    return QString::fromUtf8(n);
}

} // namespace

std::optional<rapidjson::Document> parse(const QByteArray &utf8)
{
    rapidjson::Document document;
    document.Parse<parseFlags>(utf8.constData(), size_t(utf8.size()));
    if (document.HasParseError())
        return std::nullopt;
    return document;
}

QString text(const rapidjson::Value &value)
{
    switch (value.GetType()) {
    case rapidjson::kStringType: // numbers too, as parse() keeps them as their text
        return QString::fromUtf8(value.GetString(), qsizetype(value.GetStringLength()));
    case rapidjson::kNumberType:
        if (value.IsInt64())
            return QString::number(value.GetInt64());
        if (value.IsUint64())
            return QString::number(value.GetUint64());
        return QString::number(value.GetDouble(), 'g', 17);
    case rapidjson::kTrueType:
        return QStringLiteral("true");
    case rapidjson::kFalseType:
        return QStringLiteral("false");
    case rapidjson::kNullType:
        return QStringLiteral("null");
    case rapidjson::kObjectType:
    case rapidjson::kArrayType:
        break;
    }
    return {};
}

const rapidjson::Value &member(const rapidjson::Value &object, const char *n)
{
    if (!object.IsObject())
        throw ReplyFault(
            QStringLiteral("Resposta inválida: \"%1\" esperado dentro de um objeto").arg(name(n)));
    const auto it = object.FindMember(n);
    if (it == object.MemberEnd())
        throw ReplyFault(QStringLiteral("Resposta sem o campo \"%1\"").arg(name(n)));
    return it->value;
}

QString memberText(const rapidjson::Value &object, const char *n)
{
    return text(member(object, n));
}

const rapidjson::Value &memberObject(const rapidjson::Value &object, const char *n)
{
    const rapidjson::Value &value = member(object, n);
    if (!value.IsObject())
        throw ReplyFault(QStringLiteral("Resposta inválida: \"%1\" não é um objeto").arg(name(n)));
    return value;
}

const rapidjson::Value &memberArray(const rapidjson::Value &object, const char *n)
{
    const rapidjson::Value &value = member(object, n);
    if (!value.IsArray())
        throw ReplyFault(QStringLiteral("Resposta inválida: \"%1\" não é uma lista").arg(name(n)));
    return value;
}

} // namespace brisfold::JsonReading
