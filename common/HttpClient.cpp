#include "common/HttpClient.h"

#include "BuildConfig.h"

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace brisfold {

namespace {

constexpr const char *systemBundleFallback = "/etc/ssl/certs/ca-certificates.crt";

struct Trust
{
    std::mutex mutex;
    QString extraCaFile = QString::fromUtf8(config::caFile);
    bool loaded = false;
    bool extraLoaded = false;
    // Parsed once and shared by every handshake: reading ~150 certificates per request cost more
    // than the request itself.
    std::shared_ptr<X509_STORE> store;
};

Trust &trust()
{
    static Trust instance;
    return instance;
}

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray systemBundlePath()
{
    // Ask curl where its own default bundle is, so the system store stays what curl would use.
    QByteArray path;
    if (CURL *probe = curl_easy_init()) {
        char *info = nullptr;
        if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &info) == CURLE_OK && info != nullptr)
            path = info;
        curl_easy_cleanup(probe);
    }
    return path.isEmpty() ? QByteArray(systemBundleFallback) : path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::shared_ptr<X509_STORE> storeFrom(const QByteArray &pem)
{
    std::shared_ptr<X509_STORE> store(X509_STORE_new(), X509_STORE_free);
    if (!store)
        return nullptr;
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    if (!bio)
        return nullptr;
    while (X509 *certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store.get(), certificate);
        X509_free(certificate);
    }
    BIO_free(bio);
    ERR_clear_error(); // the end of the bundle reads as an error
    return store;
}

// The system bundle with the extra one appended, parsed once per setting.
std::shared_ptr<X509_STORE> trustStore()
{
    Trust &t = trust();
    std::lock_guard lock(t.mutex);
    // A bundle that was missing may appear later (the sandbox writes its own at start-up).
    const bool extraAppeared =
        !t.extraCaFile.isEmpty() && !t.extraLoaded && QFileInfo(t.extraCaFile).size() > 0;
    if (!t.loaded || extraAppeared) {
        t.loaded = true;
        QByteArray all = readFile(QString::fromLocal8Bit(systemBundlePath()));
        const QByteArray extra = readFile(t.extraCaFile);
        t.extraLoaded = !extra.trimmed().isEmpty();
        all.append('\n');
        all.append(extra);
        t.store = storeFrom(all);
    }
    return t.store;
}

CURLcode useTrustStore(CURL *, void *sslContext, void *store)
{
    X509_STORE_up_ref(static_cast<X509_STORE *>(store));
    SSL_CTX_set_cert_store(static_cast<SSL_CTX *>(sslContext), static_cast<X509_STORE *>(store));
    return CURLE_OK;
}

long curlTlsVersion(TlsVersion v)
{
    switch (v) {
    case TlsVersion::Tls10:
        return CURL_SSLVERSION_TLSv1_0;
    case TlsVersion::Tls11:
        return CURL_SSLVERSION_TLSv1_1;
    case TlsVersion::Tls12:
        return CURL_SSLVERSION_TLSv1_2;
    case TlsVersion::Tls13:
        return CURL_SSLVERSION_TLSv1_3;
    }
    return CURL_SSLVERSION_TLSv1_2;
}

long curlTlsMax(TlsVersion v)
{
    switch (v) {
    case TlsVersion::Tls10:
        return CURL_SSLVERSION_MAX_TLSv1_0;
    case TlsVersion::Tls11:
        return CURL_SSLVERSION_MAX_TLSv1_1;
    case TlsVersion::Tls12:
        return CURL_SSLVERSION_MAX_TLSv1_2;
    case TlsVersion::Tls13:
        return CURL_SSLVERSION_MAX_TLSv1_3;
    }
    return CURL_SSLVERSION_MAX_TLSv1_2;
}

struct Transfer
{
    CURL *curl = nullptr;
    HttpReply reply;
    qint64 maxBytes = 0;
    bool tooLarge = false;

    // Read time-out: no byte either way for this long once the connection stands.
    std::chrono::milliseconds readTimeout{0};
    std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
    bool readTimedOut = false;
};

// curl's own low-speed check averages over several seconds, so a reply that stops after its
// first bytes would be waited on far longer than the read time-out; this counts silence instead.
int onProgress(void *userdata, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto *transfer = static_cast<Transfer *>(userdata);
    const auto now = std::chrono::steady_clock::now();
    // Until the connection stands the connect time-out is in charge.
    curl_off_t connected = 0;
    curl_easy_getinfo(transfer->curl, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected == 0 || down != transfer->lastDown || up != transfer->lastUp) {
        transfer->lastDown = down;
        transfer->lastUp = up;
        transfer->lastActivity = now;
        return 0;
    }
    if (now - transfer->lastActivity >= transfer->readTimeout) {
        transfer->readTimedOut = true;
        return 1; // aborts the transfer
    }
    return 0;
}

size_t onBody(char *data, size_t size, size_t count, void *userdata)
{
    auto *transfer = static_cast<Transfer *>(userdata);
    const size_t bytes = size * count;
    if (transfer->reply.body.size() + qint64(bytes) > transfer->maxBytes) {
        transfer->tooLarge = true;
        return 0; // makes curl stop with a write error
    }
    transfer->reply.body.append(data, qsizetype(bytes));
    return bytes;
}

size_t onHeader(char *data, size_t size, size_t count, void *userdata)
{
    auto *transfer = static_cast<Transfer *>(userdata);
    const size_t bytes = size * count;
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    // A status line starts the headers of a new reply (after a redirect or a 100 Continue).
    if (line.startsWith("HTTP/")) {
        transfer->reply.headers.clear();
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        transfer->reply.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return bytes;
}

struct CurlDeleter
{
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

} // namespace

void HttpClient::setExtraCaFile(const QString &path)
{
    Trust &t = trust();
    std::lock_guard lock(t.mutex);
    t.extraCaFile = path;
    t.loaded = false;
}

QString HttpClient::extraCaFile()
{
    Trust &t = trust();
    std::lock_guard lock(t.mutex);
    return t.extraCaFile;
}

HttpReply HttpClient::perform(const HttpRequest &request)
{
    initialiseCurl();
    Transfer transfer;
    transfer.maxBytes = request.maxReplyBytes;

    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        transfer.reply.fault = QStringLiteral("curl_easy_init failed");
        return transfer.reply;
    }
    CURL *curl = handle.get();
    char errorText[CURL_ERROR_SIZE] = {};

    // Keeps our own headers as given; "Expect:" stops curl from waiting for a 100 Continue.
    curl_slist *list = nullptr;
    for (const HttpHeader &h : request.headers)
        list = curl_slist_append(list, (h.first + ": " + h.second).constData());
    list = curl_slist_append(list, "Expect:");
    std::unique_ptr<curl_slist, SlistDeleter> headers(list);

    const QByteArray user = request.basicAuth ? request.basicAuth->user.toUtf8() : QByteArray();
    const QByteArray password = request.basicAuth ? request.basicAuth->password.toUtf8() : QByteArray();
    const std::shared_ptr<X509_STORE> store = trustStore();

    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.constData());
    // The address is sent as built; curl would otherwise resolve "/../" and "/./" in it.
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, curlTlsVersion(request.tlsMin) | curlTlsMax(request.tlsMax));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (store) {
        // curl reads no bundle of its own; the shared store is handed to every handshake.
        curl_easy_setopt(curl, CURLOPT_CAINFO, static_cast<char *>(nullptr));
        curl_easy_setopt(curl, CURLOPT_CAPATH, static_cast<char *>(nullptr));
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, useTrustStore);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, store.get());
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(request.timeouts.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(request.timeouts.overall.count()));
    transfer.curl = curl;
    transfer.readTimeout = request.timeouts.read;
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    if (request.basicAuth) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    if (request.method == HttpRequest::Method::Post) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.constData());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        if (transfer.tooLarge)
            transfer.reply.fault = QStringLiteral("Resposta maior que %1 bytes").arg(request.maxReplyBytes);
        else if (transfer.readTimedOut)
            transfer.reply.fault = QStringLiteral("Read timed out: nothing received for %1 ms")
                                       .arg(request.timeouts.read.count());
        else if (errorText[0] != '\0')
            transfer.reply.fault = QString::fromUtf8(errorText);
        else
            transfer.reply.fault = QString::fromUtf8(curl_easy_strerror(code));
        transfer.reply.body.clear();
        long sent = 0;
        transfer.reply.requestSent =
            curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &sent) != CURLE_OK || sent > 0;
        return transfer.reply;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    transfer.reply.status = int(status);
    return transfer.reply;
}

} // namespace brisfold
