#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <chrono>
#include <memory>

namespace brisfold::test {

using FakeHeader = QPair<QByteArray, QByteArray>;

// One request as the fake received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;           // raw, as on the request line
    QByteArray query;          // raw, without the "?"
    QList<FakeHeader> headers; // every header the client sent
    QByteArray body;

    // All values of that header, compared without case.
    QList<QByteArray> headerValues(const QByteArray &name) const;
    QByteArray header(const QByteArray &name) const;
};

// What the fake answers.
struct FakeReply
{
    enum class Behaviour
    {
        Normal,
        HangBeforeReply, // sends nothing until the fake is released or destroyed
        StallMidBody,    // sends half the body, then nothing until released; then drops the connection
        ResetMidBody,    // sends half the body and drops the connection
        Drip, // sends the body one byte per dripInterval, until released; then drops the connection
    };

    int status = 200;
    QByteArray body;
    // Blanks sent before the body's last byte, streamed so the fake itself holds none of them;
    // inside a JSON document they keep it valid.
    qint64 padding = 0;
    std::chrono::milliseconds dripInterval{500};
    QByteArray contentType = "application/json; charset=UTF-8";
    QList<FakeHeader> headers;
    Behaviour behaviour = Behaviour::Normal;

    static FakeReply json(const QByteArray &body, int status = 200)
    {
        FakeReply r;
        r.status = status;
        r.body = body;
        return r;
    }
};

// An HTTPS server on 127.0.0.1 on a free port, in the test's own process. It records every
// request and serves canned replies. Its certificate is signed by a CA made once per test
// process; trust it with HttpClient::setExtraCaFile(HttpsFake::caFile()).
class HttpsFake final
{
public:
    struct Options
    {
        bool tls13Only = false;            // refuses TLS 1.2 and below
        bool untrustedCertificate = false; // signed by a CA nobody trusts
    };

    explicit HttpsFake(Options options);
    HttpsFake();
    ~HttpsFake();
    HttpsFake(const HttpsFake &) = delete;
    HttpsFake &operator=(const HttpsFake &) = delete;

    static QString caFile();

    QString baseUrl() const; // "https://127.0.0.1:PORT"
    int port() const;

    // The reply for a method and path (without query); others get the default reply, an empty
    // JSON object unless set.
    void setReply(const QByteArray &method, const QByteArray &path, const FakeReply &reply);
    void setDefaultReply(const FakeReply &reply);

    QList<RecordedRequest> requests() const;
    RecordedRequest lastRequest() const; // fails the test when nothing arrived

    // Ends every hang and stall now and from now on.
    void release();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace brisfold::test
