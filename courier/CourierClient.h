#pragma once

#include "common/HttpRequest.h"

#include <QString>

namespace brisfold {

class Database;
class OrderStore;

// Where the courier platform is and how long a call may take; the build settings by default.
struct CourierSettings
{
    QString baseUrl;
    HttpTimeouts timeouts;
    qint64 maxReplyBytes = 32 * 1024 * 1024;

    static CourierSettings fromBuild();
};

// The fifteen values of a fee estimate, in the order they are sent.
struct EstimateQuery
{
    QString enderecoPartida;
    QString bairroPartida;
    QString cidadePartida;
    QString estadoPartida;
    QString latPartida;
    QString lngPartida;
    QString enderecoDesejado;
    QString bairroDesejado;
    QString cidadeDesejado;
    QString estadoDesejado;
    QString latDesejado;
    QString lngDesejado;
    QString latlngParadas;
    QString categoriaNome;
    QString comRetorno; // "true" or "false"

    // "key=value&..." with every key and value percent-encoded, so an address can neither add
    // keys nor cut the query short.
    QByteArray encoded() const;
};

// The calls to the courier platform. Each yields "TRUE" or a message for the user and never
// throws; each call makes its own connection, so one client may be used from several threads.
class CourierClient final
{
public:
    explicit CourierClient(CourierSettings settings = CourierSettings::fromBuild());

    // Fetches the company profile and makes it the one row of EMPRESA.
    QString ConsultaEmpresa(const QString &key, const QString &email, const QString &password, Database &db,
                            bool autoConnect) const;

    // Asks for the fee to one order's address and stores it, with the coordinates the platform
    // resolved, in the order's row `rowId` of PEDIDOS.
    QString EstimarEntrega(const QString &key, const QString &email, const QString &password,
                           const EstimateQuery &query, const QString &rowId, Database &db) const;
    QString EstimarEntrega(const QString &key, const QString &email, const QString &password,
                           const EstimateQuery &query, const QString &rowId, OrderStore &orders) const;

    // Posts a delivery request document; writes nothing. `outcomeUnknown`, when given, is set
    // when the request went out but no whole reply came back: the platform may have booked it;
    // `bookingId` receives the platform's `id_mch` of a booking.
    QString AbrirEntrega(const QString &key, const QString &email, const QString &password,
                         const QString &document, bool *outcomeUnknown = nullptr,
                         QString *bookingId = nullptr) const;

    // The request every call starts from: headers, credentials, TLS window, time-outs.
    HttpRequest request(HttpRequest::Method method, const QByteArray &path, const QString &key,
                        const QString &email, const QString &password) const;

private:
    CourierSettings settings_;
};

} // namespace brisfold
