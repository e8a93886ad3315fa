#pragma once

#include "common/HttpRequest.h"
#include "support/HttpsFake.h"

#include <QList>
#include <chrono>

namespace brisfold::test {

// The ways a web service lets a request down once it has been reached, each made from the reply
// the service would give when healthy.
struct ServiceFault
{
    enum class Kind
    {
        ResetMidBody,     // half the reply, then the connection drops
        NeverAnswers,     // the request arrives, no reply ever comes
        Drips,            // one byte at a time, never silent for the read time-out
        HtmlErrorPage,    // 500 with a web server's HTML page
        TruncatedJson,    // 200, the JSON cut in half
        InvalidUtf8Error, // 502 with bytes that are not UTF-8 though declared so
    };

    const char *what;
    Kind kind;
    FakeReply reply;
};

// Time-outs short enough for tests, in the relation the real ones have: the drip never lets the
// read time-out fire, so only the overall deadline ends it.
struct FaultTimeouts
{
    static constexpr std::chrono::milliseconds connect{1000};
    static constexpr std::chrono::milliseconds read{1000};
    static constexpr std::chrono::milliseconds overall{2500};
    static constexpr std::chrono::milliseconds drip{300};

    static HttpTimeouts requests() { return {connect, read, overall}; }
};

inline const QByteArray htmlErrorPage = "<html><head><title>500 Internal Server Error</title></head>"
                                        "<body><h1>Internal Server Error</h1></body></html>";
inline const QByteArray invalidUtf8Body = "Servi\xe7o indispon\xedvel \xff";

inline QList<ServiceFault> serviceFaults(const FakeReply &healthy)
{
    FakeReply reset = healthy;
    reset.behaviour = FakeReply::Behaviour::ResetMidBody;
    FakeReply hang = healthy;
    hang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    FakeReply drip = healthy;
    drip.behaviour = FakeReply::Behaviour::Drip;
    drip.dripInterval = FaultTimeouts::drip;
    FakeReply html = FakeReply::json(htmlErrorPage, 500);
    html.contentType = "text/html";
    FakeReply truncated = FakeReply::json(healthy.body.left(healthy.body.size() / 2));
    FakeReply invalid = FakeReply::json(invalidUtf8Body, 502);
    invalid.contentType = "text/plain; charset=utf-8";
    return {
        {"reset in the middle of the body", ServiceFault::Kind::ResetMidBody, reset},
        {"accepts and never answers", ServiceFault::Kind::NeverAnswers, hang},
        {"drips one byte at a time", ServiceFault::Kind::Drips, drip},
        {"500 HTML page", ServiceFault::Kind::HtmlErrorPage, html},
        {"truncated JSON", ServiceFault::Kind::TruncatedJson, truncated},
        {"invalid UTF-8 in an error reply", ServiceFault::Kind::InvalidUtf8Error, invalid},
    };
}

} // namespace brisfold::test
