#pragma once

#include "common/HttpRequest.h"

#include <QString>
#include <optional>
#include <rapidjson/document.h>

namespace brisfold {

// The result text of a web-service operation that worked.
inline constexpr char16_t resultOk[] = u"TRUE";

// Every fault that is not an HTTP error reply is reported with this text in front of its own.
QString noConnectionText(const QString &fault);

// The messages of an error reply's "errors" array, each followed by CR LF; empty when the text
// holds none or any element cannot be read.
QString ExtrairErros(const QString &replyText);

// Sorts a reply into the one case an operation reads (status 200 with a JSON object) and the
// cases whose result text is already decided.
class ReplyDecoder final
{
public:
    explicit ReplyDecoder(const HttpReply &reply);

    // Status 200 with a JSON object: the operation reads document() and decides the result.
    bool hasObject() const { return document_.has_value(); }
    const rapidjson::Document &document() const { return *document_; }
    // Otherwise: the status code, the error reply's messages or body, or the no-connection text.
    const QString &resultText() const { return resultText_; }

private:
    std::optional<rapidjson::Document> document_;
    QString resultText_;
};

} // namespace brisfold
