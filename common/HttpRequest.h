#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <chrono>
#include <optional>

namespace brisfold {

using HttpHeader = QPair<QByteArray, QByteArray>;

enum class TlsVersion
{
    Tls10,
    Tls11,
    Tls12,
    Tls13
};

struct HttpTimeouts
{
    std::chrono::milliseconds connect{10000};
    // No byte sent or received for this long, once connected, ends the request.
    std::chrono::milliseconds read{10000};
    // A service that drips its reply must not hold the caller for good.
    std::chrono::milliseconds overall{60000};
};

struct BasicCredentials
{
    QString user;
    QString password;
};

// One HTTPS request, described completely; HttpClient::perform sends it.
struct HttpRequest
{
    enum class Method
    {
        Get,
        Post
    };

    Method method = Method::Get;
    QByteArray url;                            // already percent-encoded
    QList<HttpHeader> headers;                 // sent as given, in this order
    QByteArray body;                           // POST only
    std::optional<BasicCredentials> basicAuth; // sent with the first request, not after a challenge
    TlsVersion tlsMin = TlsVersion::Tls10;
    TlsVersion tlsMax = TlsVersion::Tls12;
    bool followRedirects = true;
    HttpTimeouts timeouts;
    qint64 maxReplyBytes = 32 * 1024 * 1024;
};

// What came back: the final reply, or the fault that kept it from arriving whole.
struct HttpReply
{
    int status = 0;
    QList<HttpHeader> headers; // of the final reply, names as sent
    QByteArray body;
    QString fault; // empty when a complete reply arrived
    // Some of the request went out before the fault: the service may have acted on it.
    bool requestSent = false;

    bool arrived() const { return fault.isEmpty(); }
    // The first header of that name, compared without case; empty when absent.
    QByteArray header(const QByteArray &name) const
    {
        for (const HttpHeader &h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        }
        return {};
    }
};

} // namespace brisfold
