#pragma once

#include "common/HttpRequest.h"

#include <QDateTime>
#include <QString>
#include <functional>

namespace brisfold {

class Clock;
class Database;

// Where the marketplace is, who the integrator is, and how long a call may take; the build
// settings by default.
struct MarketplaceSettings
{
    QString baseUrl;
    QString clientId;
    QString clientSecret;
    QString contact; // the integrator's e-mail, sent as "Aiq-User-Agent"
    HttpTimeouts timeouts;
    qint64 maxReplyBytes = 32 * 1024 * 1024;

    static MarketplaceSettings fromBuild();
};

// An order the import has just stored, as the alerts and the log name it.
struct StoredOrder
{
    QString IDPEDIDO;
    QString CLIENTE;
    QString DATAHORA;
};

// The marketplace calls of one check: token, order search, order import. Each yields "TRUE"
// or a message for the user and never throws. Runs on the check's worker thread; the
// database is used one statement at a time, never across a request.
class MarketplaceClient final
{
public:
    // Receives the activity texts ("Verificando token", ...) for the status bar.
    using ActivitySink = std::function<void(const QString &)>;
    // Told of every order as soon as its row is committed.
    using StoredSink = std::function<void(const StoredOrder &)>;
    // Told after a complete search walk: the orders listed, and how many of them were not stored.
    using SearchSink = std::function<void(int found, int fresh)>;

    MarketplaceClient(MarketplaceSettings settings, const Clock &clock, ActivitySink activity = {},
                      StoredSink stored = {}, SearchSink searched = {});

    // Signs in with one CONFIGDELIVERY row, stores TOKEN and VALIDADE in it and runs the
    // order search. "401 LOGIN" when the marketplace refuses the credentials.
    QString ObterTokenAiqfome(const QString &login, const QString &senha, const QString &configId,
                              Database &db) const;

    // Imports every fresh, read, not ready, delivery order of yesterday and today that is not
    // stored yet. "TRUE" after a complete walk.
    QString BuscarPedidosAiqfome(const QString &token, Database &db) const;

    // Fetches one order's detail and inserts it when it still qualifies. "TRUE" when the
    // detail was handled, whether inserted or not.
    QString ImportarPedidoAiqfome(const QString &token, const QString &orderId, Database &db) const;

    // The token request body: the fixed template with both values JSON-escaped.
    static QByteArray tokenBody(const QString &login, const QString &password);
    // Less than four whole hours apart, in either direction.
    static bool withinSearchWindow(const QDateTime &orderTime, const QDateTime &now);
    // The detail path, the id percent-encoded as one path segment.
    static QByteArray orderPath(const QString &orderId);
    // The search path and query for the day before `now` and the day of `now`.
    static QByteArray searchPath(const QDateTime &now);

private:
    HttpRequest request(HttpRequest::Method method, const QByteArray &path) const;
    HttpRequest bearerRequest(const QByteArray &path, const QString &token) const;
    void activity(const QString &text) const;

    MarketplaceSettings settings_;
    const Clock &clock_;
    ActivitySink activity_;
    StoredSink stored_;
    SearchSink searched_;
};

} // namespace brisfold
