#include "DeliveryDocument.h"

#include "store/CompanyStore.h"
#include "store/OrderStore.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace brisfold {

DeliveryDocument DeliveryDocument::of(const CompanyProfile &company, const DispatchOrder &order,
                                      const DeliveryChoices &choices)
{
    DeliveryDocument d;
    d.formaPagamento = choices.paymentCode;
    d.empresaId = company.IDMACHINE;
    d.retorno = choices.returnChoice;
    d.categoriaNome = choices.category;
    d.schedule = choices.schedule;
    d.partidaEndereco = company.ENDERECO;
    d.partidaBairro = company.BAIRRO;
    d.partidaCidade = company.CIDADE;
    d.partidaEstado = company.UF;
    d.partidaLat = company.LAT;
    d.partidaLng = company.LNG;
    d.nomeCliente = order.CLIENTE;
    d.telefoneCliente = order.TELEFONE;
    d.idPedido = order.IDPEDIDO;
    d.enderecoParada = order.ENDERECO;
    d.latParada = order.LATITUDE;
    d.lngParada = order.LONGITUDE;
    return d;
}

namespace Json {

QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

// The number grammar of JSON: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool isNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto digit = [&](qsizetype at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };
    auto digits = [&] {
        const qsizetype start = i;
        while (digit(i))
            ++i;
        return i > start;
    };
    if (i < n && text[i] == u'-')
        ++i;
    if (i < n && text[i] == u'0')
        ++i;
    else if (!digits())
        return false;
    if (i < n && text[i] == u'.') {
        ++i;
        if (!digits())
            return false;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (!digits())
            return false;
    }
    return i == n;
}

bool fitsDouble(QStringView number)
{
    // Readers hold numbers as doubles and refuse some past its range outright (RapidJSON stops at
    // more than 308 integer digits or an exponent above 308, even for "0e400").
    qsizetype i = number.startsWith(u'-') ? 1 : 0;
    qsizetype integerDigits = 0;
    while (i < number.size() && number[i] >= u'0' && number[i] <= u'9') {
        ++integerDigits;
        ++i;
    }
    if (integerDigits > 308)
        return false;
    const qsizetype e = std::max(number.indexOf(u'e'), number.indexOf(u'E'));
    if (e >= 0 && !number.mid(e + 1).startsWith(u'-')) {
        QStringView exponent = number.mid(e + 1);
        if (exponent.startsWith(u'+'))
            exponent = exponent.mid(1);
        while (exponent.size() > 1 && exponent.front() == u'0')
            exponent = exponent.mid(1);
        if (exponent.size() > 3 || exponent.toInt() > 308)
            return false;
    }
    return std::isfinite(number.toDouble());
}

QString bare(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("null");
    return isNumber(text) && fitsDouble(text) ? text : quoted(text);
}

} // namespace Json

namespace {

using Member = std::pair<const char *, QString>;

QString object(std::initializer_list<Member> members)
{
    QStringList parts;
    for (const auto &[name, value] : members)
        parts.append(QLatin1Char('"') + QLatin1String(name) + QLatin1String("\":") + value);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString text(const char *latin1)
{
    return QString::fromLatin1(latin1);
}

} // namespace

QString DeliveryDocument::toJson() const
{
    using Json::bare;
    using Json::quoted;
    const QString estimativas = object({
        {"estimativa_km", text("5")},
        {"estimativa_minutos", text("8")},
        {"estimativa_valor", text("11")},
    });
    const QString partida = object({
        {"endereco", quoted(partidaEndereco)},
        {"complemento", text("null")},
        {"bairro", quoted(partidaBairro)},
        {"cidade", quoted(partidaCidade)},
        {"estado", quoted(partidaEstado)},
        {"referencia", quoted({})},
        {"lat", quoted(partidaLat)},
        {"lng", quoted(partidaLng)},
    });
    const QString parada = object({
        {"nome_cliente_parada", quoted(nomeCliente)},
        {"telefone_cliente_parada", quoted(telefoneCliente)},
        {"id_externo", quoted(text("aiqfome ") + idPedido)},
        {"endereco_parada", quoted(enderecoParada)},
        {"bairro_parada", quoted(text("-"))},
        {"cidade_parada", quoted(text("-"))},
        {"estado_parada", quoted(text("-"))},
        {"lat_parada", bare(latParada)},
        {"lng_parada", bare(lngParada)},
    });
    return object({
        {"forma_pagamento", quoted(formaPagamento)},
        {"empresa_id", bare(empresaId)},
        {"retorno", retorno == text("Sim") ? text(" true") : text(" false")},
        {"categoria_nome", quoted(categoriaNome)},
        {"data", quoted(schedule.data)},
        {"hora", quoted(schedule.hora)},
        {"estimativas", estimativas},
        {"partida", partida},
        {"paradas", QLatin1Char('[') + parada + QLatin1Char(']')},
    });
}

} // namespace brisfold
