#include "HttpsFake.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <httplib.h>
#include <map>
#include <mutex>
#include <openssl/ssl.h>
#include <stdexcept>
#include <thread>

namespace brisfold::test {

namespace {

void openssl(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("openssl failed: " + process.readAllStandardError().toStdString());
}

// A CA and a server certificate for 127.0.0.1 signed by it, both on P-256 so they are quick to make.
void makeAuthority(const QString &folder, const QString &prefix)
{
    const QString ca = prefix + QStringLiteral("-ca");
    const QString server = prefix + QStringLiteral("-server");
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    openssl(folder,
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                QStringList{QStringLiteral("-keyout"), ca + QStringLiteral(".key"), QStringLiteral("-out"),
                            ca + QStringLiteral(".pem"), QStringLiteral("-days"), QStringLiteral("3"),
                            QStringLiteral("-subj"), QStringLiteral("/CN=Test CA ") + prefix,
                            QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                            QStringLiteral("-addext"),
                            QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
    openssl(folder, QStringList{QStringLiteral("req")} + ec +
                        QStringList{QStringLiteral("-keyout"), server + QStringLiteral(".key"),
                                    QStringLiteral("-out"), server + QStringLiteral(".csr"),
                                    QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
    QFile ext(folder + QStringLiteral("/server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write server.ext");
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
    ext.close();
    openssl(folder, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                     server + QStringLiteral(".csr"), QStringLiteral("-CA"), ca + QStringLiteral(".pem"),
                     QStringLiteral("-CAkey"), ca + QStringLiteral(".key"), QStringLiteral("-CAcreateserial"),
                     QStringLiteral("-out"), server + QStringLiteral(".pem"), QStringLiteral("-days"),
                     QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("server.ext")});
}

// Made once per test process: a trusted authority and an untrusted one.
const QTemporaryDir &certificates()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>();
        if (!d->isValid())
            throw std::runtime_error("no temporary folder for certificates");
        makeAuthority(d->path(), QStringLiteral("trusted"));
        makeAuthority(d->path(), QStringLiteral("untrusted"));
        return d;
    }();
    return *dir;
}

QByteArray toBytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string toStd(const QByteArray &b)
{
    return std::string(b.constData(), size_t(b.size()));
}

bool isPseudoHeader(const std::string &name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

} // namespace

QList<QByteArray> RecordedRequest::headerValues(const QByteArray &name) const
{
    QList<QByteArray> values;
    for (const FakeHeader &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            values.append(h.second);
    }
    return values;
}

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    const QList<QByteArray> values = headerValues(name);
    return values.isEmpty() ? QByteArray() : values.first();
}

struct HttpsFake::State
{
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool isReleased = false;
    std::map<std::pair<QByteArray, QByteArray>, FakeReply> replies;
    FakeReply defaultReply = FakeReply::json("{}");
    QList<RecordedRequest> requests;

    FakeReply record(const httplib::Request &req)
    {
        RecordedRequest r;
        r.method = toBytes(req.method);
        const QByteArray target = toBytes(req.target);
        const qsizetype question = target.indexOf('?');
        r.path = question < 0 ? target : target.left(question);
        r.query = question < 0 ? QByteArray() : target.mid(question + 1);
        for (const auto &[name, value] : req.headers) {
            if (!isPseudoHeader(name))
                r.headers.append({toBytes(name), toBytes(value)});
        }
        r.body = toBytes(req.body);
        std::lock_guard lock(mutex);
        requests.append(r);
        const auto it = replies.find({r.method, r.path});
        return it == replies.end() ? defaultReply : it->second;
    }

    void waitForRelease()
    {
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return isReleased; });
    }

    // True when released within `interval`.
    bool releasedWithin(std::chrono::milliseconds interval)
    {
        std::unique_lock lock(mutex);
        return released.wait_for(lock, interval, [this] { return isReleased; });
    }

    void serve(const httplib::Request &req, httplib::Response &res)
    {
        const FakeReply reply = record(req);
        if (reply.behaviour == FakeReply::Behaviour::HangBeforeReply)
            waitForRelease();
        res.status = reply.status;
        for (const FakeHeader &h : reply.headers)
            res.set_header(toStd(h.first), toStd(h.second));
        const std::string body = toStd(reply.body);
        if (reply.behaviour == FakeReply::Behaviour::StallMidBody ||
            reply.behaviour == FakeReply::Behaviour::ResetMidBody) {
            const bool stall = reply.behaviour == FakeReply::Behaviour::StallMidBody;
            res.set_content_provider(body.size(), toStd(reply.contentType),
                                     [this, body, stall](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset == 0) {
                                             sink.write(body.data(), body.size() / 2);
                                             return true;
                                         }
                                         if (stall)
                                             waitForRelease();
                                         return false; // drops the connection with the body unfinished
                                     });
            return;
        }
        if (reply.behaviour == FakeReply::Behaviour::Drip) {
            const auto interval = reply.dripInterval;
            res.set_content_provider(body.size(), toStd(reply.contentType),
                                     [this, body, interval](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset > 0 && releasedWithin(interval))
                                             return false;
                                         return sink.write(body.data() + offset, 1);
                                     });
            return;
        }
        if (reply.padding > 0 && !body.empty()) {
            const size_t padding = size_t(reply.padding);
            const size_t total = body.size() + padding;
            res.set_content_provider(
                total, toStd(reply.contentType),
                [body, padding, total](size_t offset, size_t length, httplib::DataSink &sink) {
                    const size_t head = body.size() - 1;
                    const size_t end = std::min(total, offset + std::min<size_t>(length, 64 * 1024));
                    std::string chunk;
                    chunk.reserve(end - offset);
                    for (size_t at = offset; at < end;) {
                        if (at < head) {
                            const size_t n = std::min(head, end) - at;
                            chunk.append(body, at, n);
                            at += n;
                        } else if (at < head + padding) {
                            const size_t n = std::min(head + padding, end) - at;
                            chunk.append(n, ' ');
                            at += n;
                        } else {
                            chunk.push_back(body.back());
                            ++at;
                        }
                    }
                    return sink.write(chunk.data(), chunk.size());
                });
            return;
        }
        if (!reply.body.isEmpty() || !reply.contentType.isEmpty())
            res.set_content(body, toStd(reply.contentType));
    }
};

HttpsFake::HttpsFake()
    : HttpsFake(Options{})
{}

HttpsFake::HttpsFake(Options options)
    : state_(std::make_unique<State>())
{
    const QString folder = certificates().path();
    const QString prefix =
        options.untrustedCertificate ? QStringLiteral("untrusted") : QStringLiteral("trusted");
    const std::string cert =
        (folder + QLatin1Char('/') + prefix + QStringLiteral("-server.pem")).toStdString();
    const std::string key =
        (folder + QLatin1Char('/') + prefix + QStringLiteral("-server.key")).toStdString();
    const bool tls13Only = options.tls13Only;

    state_->server = std::make_unique<httplib::SSLServer>([cert, key, tls13Only](SSL_CTX &ctx) {
        if (SSL_CTX_use_certificate_chain_file(&ctx, cert.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(&ctx, key.c_str(), SSL_FILETYPE_PEM) != 1)
            return false;
        if (tls13Only)
            SSL_CTX_set_min_proto_version(&ctx, TLS1_3_VERSION);
        return true;
    });
    if (!state_->server->is_valid())
        throw std::runtime_error("the HTTPS fake could not load its certificate");
    state_->server->set_keep_alive_timeout(1);
    State *state = state_.get();
    auto handler = [state](const httplib::Request &req, httplib::Response &res) { state->serve(req, res); };
    state_->server->Get(".*", handler);
    state_->server->Post(".*", handler);
    state_->server->Put(".*", handler);
    state_->server->Delete(".*", handler);
    // Small replies go out at once instead of waiting for the client's delayed acknowledgement.
    state_->server->set_tcp_nodelay(true);
    state_->port = state_->server->bind_to_any_port("127.0.0.1");
    if (state_->port <= 0)
        throw std::runtime_error("the HTTPS fake found no free port");
    state_->thread = std::thread([state] { state->server->listen_after_bind(); });
    while (!state_->server->is_running())
        std::this_thread::yield();
}

HttpsFake::~HttpsFake()
{
    release();
    state_->server->stop();
    state_->thread.join();
}

QString HttpsFake::caFile()
{
    return certificates().path() + QStringLiteral("/trusted-ca.pem");
}

QString HttpsFake::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(state_->port);
}

int HttpsFake::port() const
{
    return state_->port;
}

void HttpsFake::setReply(const QByteArray &method, const QByteArray &path, const FakeReply &reply)
{
    std::lock_guard lock(state_->mutex);
    state_->replies[{method, path}] = reply;
}

void HttpsFake::setDefaultReply(const FakeReply &reply)
{
    std::lock_guard lock(state_->mutex);
    state_->defaultReply = reply;
}

QList<RecordedRequest> HttpsFake::requests() const
{
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

RecordedRequest HttpsFake::lastRequest() const
{
    std::lock_guard lock(state_->mutex);
    if (state_->requests.isEmpty()) {
        ADD_FAILURE() << "the HTTPS fake received no request";
        return {};
    }
    return state_->requests.last();
}

void HttpsFake::release()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->isReleased = true;
    }
    state_->released.notify_all();
}

} // namespace brisfold::test
