#include "MarketplaceClient.h"

#include "BuildConfig.h"
#include "common/Clock.h"
#include "common/HttpClient.h"
#include "common/JsonReading.h"
#include "common/ReplyDecoder.h"
#include "common/TextConversion.h"
#include "courier/DeliveryDocument.h"
#include "store/Database.h"

#include <QUrl>
#include <exception>
#include <optional>

namespace brisfold {

namespace {

const QString loginRefused = QStringLiteral("401 LOGIN");

QString ok()
{
    return QString::fromUtf16(resultOk);
}

// A marketplace reply sorted into what the operations tell apart.
struct Decoded
{
    enum class Kind
    {
        Fault,   // text is the no-connection text
        NotOk,   // status other than 200; text is the body
        NotJson, // status 200, body not JSON; text is the body
        Object,  // status 200 with a JSON object in document
    };

    Kind kind = Kind::Fault;
    int status = 0;
    QString text;
    std::optional<rapidjson::Document> document;
};

Decoded decode(const HttpReply &reply)
{
    Decoded d;
    if (!reply.arrived()) {
        d.text = noConnectionText(reply.fault);
        return d;
    }
    d.status = reply.status;
    const QString body = TextConversion::decode(reply.body, reply.header("Content-Type"));
    if (reply.status != 200) {
        d.kind = Decoded::Kind::NotOk;
        d.text = body;
        return d;
    }
    auto document = JsonReading::parse(TextConversion::jsonToAscii(body));
    if (!document) {
        d.kind = Decoded::Kind::NotJson;
        d.text = body;
    } else if (!document->IsObject()) {
        d.text = noConnectionText(QStringLiteral("Resposta inválida: o conteúdo não é um objeto JSON"));
    } else {
        d.kind = Decoded::Kind::Object;
        d.document = std::move(document);
    }
    return d;
}

QString unknownError()
{
    return QStringLiteral("Erro desconhecido");
}

// Seconds far beyond any real token life would overflow the date arithmetic.
qint64 wholeSeconds(const QString &text)
{
    bool valid = false;
    const qint64 seconds = text.toLongLong(&valid);
    constexpr qint64 limit = 100LL * 366 * 24 * 3600;
    if (!valid || seconds > limit || seconds < -limit)
        throw ReplyFault(QStringLiteral("\"%1\" não é um número inteiro de segundos válido").arg(text));
    return seconds;
}

// Inside a handler: the no-connection text with the reason of the failure being handled. Reply
// faults and database errors carry their reason as their text.
QString failureText()
{
    try {
        throw;
    } catch (const std::exception &e) {
        return noConnectionText(QString::fromUtf8(e.what()));
    } catch (...) {
        return noConnectionText(unknownError());
    }
}

QString jsonStringContent(const QString &text)
{
    const QString quoted = Json::quoted(text);
    return quoted.mid(1, quoted.size() - 2);
}

} // namespace

MarketplaceSettings MarketplaceSettings::fromBuild()
{
    MarketplaceSettings s;
    s.baseUrl = QString::fromUtf8(config::marketplaceApiUrl);
    s.clientId = QString::fromUtf8(config::marketplaceClientId);
    s.clientSecret = QString::fromUtf8(config::marketplaceClientSecret);
    s.contact = QString::fromUtf8(config::marketplaceContact);
    return s;
}

MarketplaceClient::MarketplaceClient(MarketplaceSettings settings, const Clock &clock, ActivitySink activity,
                                     StoredSink stored, SearchSink searched)
    : settings_(std::move(settings))
    , clock_(clock)
    , activity_(std::move(activity))
    , stored_(std::move(stored))
    , searched_(std::move(searched))
{}

QByteArray MarketplaceClient::tokenBody(const QString &login, const QString &password)
{
    // Escaped, so a quote in a password cannot break the document.
    return (QStringLiteral("  {\"username\" : \"") + jsonStringContent(login) +
            QStringLiteral("\",\"password\" : \"") + jsonStringContent(password) + QStringLiteral("\"}"))
        .toUtf8();
}

bool MarketplaceClient::withinSearchWindow(const QDateTime &orderTime, const QDateTime &now)
{
    const qint64 apart = orderTime.msecsTo(now);
    constexpr qint64 fourHours = 4LL * 3600 * 1000;
    return apart < fourHours && apart > -fourHours;
}

QByteArray MarketplaceClient::orderPath(const QString &orderId)
{
    // A "/" or "?" in an id must not reach another resource, nor may "." or "..", which clients
    // and servers resolve as dot segments; an encoded dot is the same character to the server.
    return "/alfredo/orders/" + QUrl::toPercentEncoding(orderId, QByteArray(), ".");
}

QByteArray MarketplaceClient::searchPath(const QDateTime &now)
{
    const QByteArray today = now.date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    const QByteArray yesterday =
        now.addSecs(-24 * 3600).date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    return "/alfredo/orders/search?per_page=99999&filter%5Bdate_start%5D=" + yesterday +
           "&filter%5Bdate_end%5D=" + today;
}

HttpRequest MarketplaceClient::request(HttpRequest::Method method, const QByteArray &path) const
{
    HttpRequest r;
    r.method = method;
    r.url = settings_.baseUrl.toUtf8() + path;
    r.headers = {
        {"Accept", "application/json"},
        {"Content-Type", "application/json; charset=utf-8"},
        {"Connection", "Keep-Alive"},
        {"Aiq-User-Agent", settings_.contact.toUtf8()},
    };
    r.tlsMin = TlsVersion::Tls12;
    r.tlsMax = TlsVersion::Tls12;
    r.followRedirects = false;
    r.timeouts = settings_.timeouts;
    r.maxReplyBytes = settings_.maxReplyBytes;
    return r;
}

HttpRequest MarketplaceClient::bearerRequest(const QByteArray &path, const QString &token) const
{
    HttpRequest r = request(HttpRequest::Method::Get, path);
    r.headers.append({"Authorization", "Bearer " + token.toUtf8()});
    return r;
}

void MarketplaceClient::activity(const QString &text) const
{
    if (activity_)
        activity_(text);
}

QString MarketplaceClient::ObterTokenAiqfome(const QString &login, const QString &senha,
                                             const QString &configId, Database &db) const
{
    QString token;
    QString validade;
    try {
        HttpRequest r = request(HttpRequest::Method::Post, "/alfredo/auth/token");
        r.body = tokenBody(login, senha);
        r.basicAuth = BasicCredentials{settings_.clientId, settings_.clientSecret};
        activity(QStringLiteral("Verificando token"));
        const Decoded reply = decode(HttpClient::perform(r));
        switch (reply.kind) {
        case Decoded::Kind::Fault:
        case Decoded::Kind::NotJson:
            return reply.text;
        case Decoded::Kind::NotOk:
            return reply.status == 401 ? loginRefused : reply.text;
        case Decoded::Kind::Object:
            break;
        }
        const rapidjson::Value &data = JsonReading::memberObject(*reply.document, "data");
        token = JsonReading::memberText(data, "access_token");
        const qint64 seconds = wholeSeconds(JsonReading::memberText(data, "expires_in"));
        validade = clock_.now().addMSecs(seconds * 1000).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    } catch (...) {
        return failureText();
    }

    // Errors from here on are shown with their own text alone.
    try {
        bool valid = false;
        const qint64 id = configId.toLongLong(&valid);
        if (!valid)
            return QStringLiteral("\"%1\" não é um número inteiro válido").arg(configId);
        db.execute("UPDATE CONFIGDELIVERY SET TOKEN = :TOKEN , VALIDADE = :VALIDADE WHERE ID = :ID",
                   {{":TOKEN", token}, {":VALIDADE", validade}, {":ID", id}});
    } catch (const DatabaseError &e) {
        return e.text();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return unknownError();
    }
    return BuscarPedidosAiqfome(token, db);
}

QString MarketplaceClient::BuscarPedidosAiqfome(const QString &token, Database &db) const
{
    try {
        const QByteArray path = searchPath(clock_.now());
        activity(QStringLiteral("Verificando pedidos"));
        const Decoded reply = decode(HttpClient::perform(bearerRequest(path, token)));
        if (reply.kind != Decoded::Kind::Object)
            return reply.text;

        // Each import is committed on its own, so a fault ending the walk keeps the earlier ones.
        int found = 0;
        int fresh = 0;
        for (const rapidjson::Value &order : JsonReading::memberArray(*reply.document, "data").GetArray()) {
            ++found;
            if (!order.IsObject())
                throw ReplyFault(QStringLiteral("Resposta inválida: pedido que não é um objeto"));
            const QString createdAt = JsonReading::memberText(order, "created_at");
            const QDateTime placed = QDateTime::fromString(createdAt, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            if (!placed.isValid())
                throw ReplyFault(QStringLiteral("\"%1\" não é uma data e hora válida").arg(createdAt));
            if (!withinSearchWindow(placed, clock_.now()))
                continue;
            if (JsonReading::memberText(order, "is_ready") != u"false" ||
                JsonReading::memberText(order, "order_is_pickup") != u"false" ||
                JsonReading::memberText(order, "is_read") != u"true")
                continue;
            const QString orderId = JsonReading::memberText(order, "order_id");
            // An empty id would address the order list itself.
            if (orderId.isEmpty())
                continue;
            if (db.hasRow("SELECT * FROM PEDIDOS WHERE ORIGEM = 1 AND IDPEDIDO = :IDPEDIDO",
                          {{":IDPEDIDO", orderId}}))
                continue;
            // A failed import is tried again at the next check.
            ++fresh;
            ImportarPedidoAiqfome(token, orderId, db);
        }
        if (searched_)
            searched_(found, fresh);
        return ok();
    } catch (...) {
        return failureText();
    }
}

QString MarketplaceClient::ImportarPedidoAiqfome(const QString &token, const QString &orderId,
                                                 Database &db) const
{
    try {
        const Decoded reply = decode(HttpClient::perform(bearerRequest(orderPath(orderId), token)));
        switch (reply.kind) {
        case Decoded::Kind::Fault:
        case Decoded::Kind::NotOk:
            return reply.text;
        case Decoded::Kind::NotJson:
            return {};
        case Decoded::Kind::Object:
            break;
        }
        const rapidjson::Value &d = JsonReading::memberObject(*reply.document, "data");
        if (JsonReading::memberText(d, "is_ready") != u"false" ||
            JsonReading::memberText(d, "is_pickup") != u"false" ||
            JsonReading::memberText(d, "is_read") != u"true" ||
            JsonReading::memberText(d, "is_cancelled") != u"false" ||
            JsonReading::memberText(d, "is_delivered") != u"false")
            return ok();

        activity(QStringLiteral("Verificando pedido ") + orderId);
        const QString createdAt = JsonReading::memberText(d, "created_at");
        const rapidjson::Value &user = JsonReading::memberObject(d, "user");
        const QString name = JsonReading::memberText(user, "name");
        const QString surname = JsonReading::memberText(user, "surname");
        const rapidjson::Value &address = JsonReading::memberObject(user, "address");
        const QString street = JsonReading::memberText(address, "street_name");
        const QString number = JsonReading::memberText(address, "number");
        const QString complement = JsonReading::memberText(address, "complement");
        const QString reference = JsonReading::memberText(address, "reference");
        QString phone = JsonReading::memberText(address, "phone");
        const QString mobile = JsonReading::memberText(address, "mobile_phone");
        const QString city = JsonReading::memberText(address, "city_name");
        const QString uf = JsonReading::memberText(address, "state_uf");
        const QString latitude = JsonReading::memberText(address, "latitude");
        const QString longitude = JsonReading::memberText(address, "longitude");
        if (phone.isEmpty())
            phone = mobile;

        // One statement: a crash never leaves half an order.
        db.execute(
            "INSERT INTO PEDIDOS "
            "(ORIGEM,DATAHORA,IDPEDIDO,VALUE,CLIENTE,TELEFONE,ENDERECO,LATITUDE,LONGITUDE)"
            " VALUES (:ORIGEM,:DATAHORA,:IDPEDIDO,:VALUE,:CLIENTE,:TELEFONE,:ENDERECO,:LATITUDE,:LONGITUDE) ",
            {{":ORIGEM", qint64(1)},
             {":DATAHORA", createdAt},
             {":IDPEDIDO", orderId},
             {":VALUE", QString()},
             {":CLIENTE", name + u' ' + surname},
             {":TELEFONE", phone},
             {":ENDERECO", street + u' ' + number + QStringLiteral(", ") + complement + u' ' + reference +
                               QStringLiteral(" - ") + city + u' ' + uf},
             {":LATITUDE", latitude},
             {":LONGITUDE", longitude}});
        if (stored_)
            stored_(StoredOrder{orderId, name + u' ' + surname, createdAt});
        return ok();
    } catch (...) {
        return failureText();
    }
}

} // namespace brisfold
