#pragma once

#include "courier/Schedule.h"

#include <QString>

namespace brisfold {

struct CompanyProfile;
struct DispatchOrder;

// What is chosen for one booking: in the dispatch dialog its lists, in the automatic dispatch
// the board settings.
struct DeliveryChoices
{
    QString paymentCode;  // see PaymentTypes
    QString returnChoice; // "Sim" asks for a return trip
    QString category;
    Schedule schedule;
};

// The values of one delivery request, as the dispatch dialog and the automatic dispatch
// gather them; toJson() writes the one document both send.
struct DeliveryDocument
{
    QString formaPagamento; // payment code, see PaymentTypes
    QString empresaId;      // EMPRESA.IDMACHINE
    QString retorno;        // the return choice; "Sim" asks for a return trip
    QString categoriaNome;
    Schedule schedule;

    // Pick-up point, from EMPRESA.
    QString partidaEndereco;
    QString partidaBairro;
    QString partidaCidade;
    QString partidaEstado;
    QString partidaLat;
    QString partidaLng;

    // The stop, from PEDIDOS.
    QString nomeCliente;
    QString telefoneCliente;
    QString idPedido; // the marketplace order number
    QString enderecoParada;
    QString latParada;
    QString lngParada;

    // The request for `order`, picked up at `company`'s address, with `choices`.
    static DeliveryDocument of(const CompanyProfile &company, const DispatchOrder &order,
                               const DeliveryChoices &choices);

    // One line, no blank but the one after "retorno":. Texts are JSON-escaped; the id and
    // the stop's coordinates go bare when they are JSON numbers a double can hold, as null when
    // empty and as strings otherwise, so the document is always valid JSON.
    QString toJson() const;
};

namespace Json {

// The text as a JSON string literal, quotes included.
QString quoted(const QString &text);
// A JSON number as written; null when empty; otherwise a string literal, a number past the
// range of a double included.
QString bare(const QString &text);
bool isNumber(QStringView text);
// For a text that isNumber(): whether common readers take it as a double.
bool fitsDouble(QStringView number);

} // namespace Json

} // namespace brisfold
