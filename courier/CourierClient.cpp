#include "CourierClient.h"

#include "BuildConfig.h"
#include "common/HttpClient.h"
#include "common/JsonReading.h"
#include "common/ReplyDecoder.h"
#include "courier/BracketedList.h"
#include "store/CompanyStore.h"
#include "store/Database.h"
#include "store/OrderStore.h"

#include <QUrl>
#include <exception>

namespace brisfold {

namespace {

const QByteArray userAgent =
    "User-Agent:Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like "
    "Gecko) Chrome/58.0.3029.96 Safari/537.36";

// Runs one operation, turning every fault into the no-connection text.
template <typename Operation> QString guarded(Operation &&operation)
{
    try {
        return operation();
    } catch (const DatabaseError &e) {
        return noConnectionText(e.text());
    } catch (const ReplyFault &e) {
        return noConnectionText(e.text());
    } catch (const std::exception &e) {
        return noConnectionText(QString::fromUtf8(e.what()));
    } catch (...) {
        return noConnectionText(QStringLiteral("Erro desconhecido"));
    }
}

bool isDecimalInteger(const QString &text)
{
    qsizetype i = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return true;
}

// A coordinate the platform resolved: a string or a number, nothing else.
QString coordinate(const rapidjson::Value &desejado, const char *name)
{
    const rapidjson::Value &value = JsonReading::member(desejado, name);
    if (!value.IsString())
        throw ReplyFault(
            QStringLiteral("Resposta inválida: \"%1\" não é texto nem número").arg(QLatin1String(name)));
    return JsonReading::text(value);
}

} // namespace

CourierSettings CourierSettings::fromBuild()
{
    CourierSettings s;
    s.baseUrl = QString::fromUtf8(config::courierApiUrl);
    return s;
}

QByteArray EstimateQuery::encoded() const
{
    const std::pair<const char *, const QString *> items[] = {
        {"endereco_partida", &enderecoPartida},
        {"bairro_partida", &bairroPartida},
        {"cidade_partida", &cidadePartida},
        {"estado_partida", &estadoPartida},
        {"lat_partida", &latPartida},
        {"lng_partida", &lngPartida},
        {"endereco_desejado", &enderecoDesejado},
        {"bairro_desejado", &bairroDesejado},
        {"cidade_desejado", &cidadeDesejado},
        {"estado_desejado", &estadoDesejado},
        {"lat_desejado", &latDesejado},
        {"lng_desejado", &lngDesejado},
        {"latlng_paradas", &latlngParadas},
        {"categoria_nome", &categoriaNome},
        {"com_retorno", &comRetorno},
    };
    QByteArray query;
    for (const auto &[name, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += name;
        query += '=';
        query += QUrl::toPercentEncoding(*value);
    }
    return query;
}

CourierClient::CourierClient(CourierSettings settings)
    : settings_(std::move(settings))
{}

HttpRequest CourierClient::request(HttpRequest::Method method, const QByteArray &path, const QString &key,
                                   const QString &email, const QString &password) const
{
    HttpRequest r;
    r.method = method;
    r.url = settings_.baseUrl.toUtf8() + path;
    r.headers = {
        {"Content-Type", "application/json; charset=UTF-8"},
        {"Connection", "Keep-Alive"},
        {"User-Agent", userAgent},
        {"api-key", key.toUtf8()},
    };
    r.basicAuth = BasicCredentials{email, password};
    r.tlsMin = TlsVersion::Tls10;
    r.tlsMax = TlsVersion::Tls12;
    r.followRedirects = true;
    r.timeouts = settings_.timeouts;
    r.maxReplyBytes = settings_.maxReplyBytes;
    return r;
}

QString CourierClient::ConsultaEmpresa(const QString &key, const QString &email, const QString &password,
                                       Database &db, bool autoConnect) const
{
    return guarded([&]() -> QString {
        const ReplyDecoder reply(HttpClient::perform(
            request(HttpRequest::Method::Get, "/api/integracao/empresa", key, email, password)));
        if (!reply.hasObject())
            return reply.resultText();

        // Everything is read before anything is written, so a bad reply leaves EMPRESA alone.
        const rapidjson::Value &response = JsonReading::memberObject(reply.document(), "response");
        const QString id = JsonReading::memberText(response, "id");
        const QString nome = JsonReading::memberText(response, "nome");
        const QString endereco = JsonReading::memberText(response, "endereco");
        const QString bairro = JsonReading::memberText(response, "bairro");
        const QString cidade = JsonReading::memberText(response, "cidade");
        const QString uf = JsonReading::memberText(response, "uf");
        const QString cep = JsonReading::memberText(response, "cep");
        const QString lat = JsonReading::memberText(response, "lat");
        const QString lng = JsonReading::memberText(response, "lng");
        const QString status = JsonReading::memberText(response, "status_empresa");
        const QString telefone = JsonReading::memberText(response, "telefone");
        const QString documento = JsonReading::memberText(response, "documento");

        BracketedList payments;
        for (const rapidjson::Value &element :
             JsonReading::memberArray(response, "tipos_pagamento").GetArray()) {
            if (payments.isFull())
                break;
            payments.append(JsonReading::text(element));
        }
        // Every category must be an object with "nome", even those past the cut.
        BracketedList categories;
        for (const rapidjson::Value &element : JsonReading::memberArray(response, "categorias").GetArray()) {
            if (!element.IsObject())
                throw ReplyFault(QStringLiteral("Resposta inválida: categoria que não é um objeto"));
            categories.append(JsonReading::memberText(element, "nome"));
        }

        CompanyProfile profile;
        profile.IDMACHINE = id;
        profile.NOME = nome;
        profile.ENDERECO = endereco;
        profile.BAIRRO = bairro;
        profile.CIDADE = cidade;
        profile.UF = uf;
        profile.CEP = cep;
        profile.LAT = lat;
        profile.LNG = lng;
        profile.STATUS = status;
        profile.TIPOSPAGAMENTOS = payments.text();
        profile.CATEGORIAS = categories.text();
        profile.AUTOCONNECT = autoConnect ? QStringLiteral("S") : QStringLiteral("N");
        profile.EMAIL = email;
        profile.SENHA = password;
        profile.TELEFONE = telefone;
        profile.DOCUMENTO = documento;
        CompanyStore(db).replace(profile);
        return QString::fromUtf16(resultOk);
    });
}

QString CourierClient::EstimarEntrega(const QString &key, const QString &email, const QString &password,
                                      const EstimateQuery &query, const QString &rowId, Database &db) const
{
    OrderStore orders(db);
    return EstimarEntrega(key, email, password, query, rowId, orders);
}

QString CourierClient::EstimarEntrega(const QString &key, const QString &email, const QString &password,
                                      const EstimateQuery &query, const QString &rowId,
                                      OrderStore &orders) const
{
    return guarded([&]() -> QString {
        if (!isDecimalInteger(rowId))
            throw ReplyFault(QStringLiteral("Código do pedido inválido: %1").arg(rowId));
        bool ok = false;
        const qint64 id = rowId.toLongLong(&ok);
        if (!ok)
            throw ReplyFault(QStringLiteral("Código do pedido inválido: %1").arg(rowId));

        const ReplyDecoder reply(HttpClient::perform(
            request(HttpRequest::Method::Get, "/api/integracao/estimarEntrega?" + query.encoded(), key, email,
                    password)));
        if (!reply.hasObject())
            return reply.resultText();

        const rapidjson::Value &response = JsonReading::memberObject(reply.document(), "response");
        const QString fee = JsonReading::memberText(response, "estimativa_valor");
        const rapidjson::Value &desejado = JsonReading::memberObject(response, "desejado");
        const QString lat = coordinate(desejado, "lat");
        const QString lng = coordinate(desejado, "lng");

        orders.storeEstimate(id, fee, lat, lng);
        return QString::fromUtf16(resultOk);
    });
}

QString CourierClient::AbrirEntrega(const QString &key, const QString &email, const QString &password,
                                    const QString &document, bool *outcomeUnknown, QString *bookingId) const
{
    if (outcomeUnknown)
        *outcomeUnknown = false;
    return guarded([&]() -> QString {
        HttpRequest r =
            request(HttpRequest::Method::Post, "/api/integracao/abrirEntrega", key, email, password);
        r.body = document.toUtf8();
        const HttpReply sent = HttpClient::perform(r);
        if (outcomeUnknown)
            *outcomeUnknown = !sent.arrived() && sent.requestSent;
        const ReplyDecoder reply(sent);
        if (!reply.hasObject())
            return reply.resultText();

        const rapidjson::Value &response = JsonReading::memberObject(reply.document(), "response");
        if (response.HasMember("id_mch")) {
            if (bookingId)
                *bookingId = JsonReading::memberText(response, "id_mch");
            return QString::fromUtf16(resultOk);
        }
        QString messages;
        for (const rapidjson::Value &element : JsonReading::memberArray(response, "erros").GetArray())
            messages += QStringLiteral(" - ") + JsonReading::text(element);
        return messages;
    });
}

} // namespace brisfold
