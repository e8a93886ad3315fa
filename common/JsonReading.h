#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <rapidjson/document.h>
#include <stdexcept>

namespace brisfold {

// A reply that lacks a member the operation needs, or holds the wrong kind of value there.
class ReplyFault final : public std::runtime_error
{
public:
    explicit ReplyFault(const QString &message)
        : std::runtime_error(message.toStdString())
    {}
    QString text() const { return QString::fromUtf8(what()); }
};

// Reading of web-service replies: numbers are kept as the text they were written with.
namespace JsonReading {

// Parses UTF-8 JSON without recursion (deep nesting cannot exhaust the stack); nullopt when
// the bytes are not valid JSON.
std::optional<rapidjson::Document> parse(const QByteArray &utf8);

// The text of a value: a string's characters, a number as written, "true", "false", "null",
// and the empty text for an object or an array.
QString text(const rapidjson::Value &value);

// The members below throw ReplyFault when the member is absent or of the wrong kind.
const rapidjson::Value &member(const rapidjson::Value &object, const char *name);
QString memberText(const rapidjson::Value &object, const char *name);
const rapidjson::Value &memberObject(const rapidjson::Value &object, const char *name);
const rapidjson::Value &memberArray(const rapidjson::Value &object, const char *name);

} // namespace JsonReading

} // namespace brisfold
