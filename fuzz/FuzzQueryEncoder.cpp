// The fee-estimate query: fifteen values from order and company data, percent-encoded so that no
// value can add a key, change one or cut the query short.
//
// Input: the fifteen values, one after another (FuzzedDataProvider strings, "\" ends one).

#include "FuzzSupport.h"
#include "courier/CourierClient.h"

#include <QList>
#include <fuzzer/FuzzedDataProvider.h>

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    EstimateQuery query;
    QString *const values[] = {
        &query.enderecoPartida, &query.bairroPartida,  &query.cidadePartida,    &query.estadoPartida,
        &query.latPartida,      &query.lngPartida,     &query.enderecoDesejado, &query.bairroDesejado,
        &query.cidadeDesejado,  &query.estadoDesejado, &query.latDesejado,      &query.lngDesejado,
        &query.latlngParadas,   &query.categoriaNome,  &query.comRetorno,
    };
    const char *const keys[] = {
        "endereco_partida", "bairro_partida",    "cidade_partida",  "estado_partida",  "lat_partida",
        "lng_partida",      "endereco_desejado", "bairro_desejado", "cidade_desejado", "estado_desejado",
        "lat_desejado",     "lng_desejado",      "latlng_paradas",  "categoria_nome",  "com_retorno",
    };
    // Values come from the database and from parsed replies, so they are always well-formed text.
    for (QString *value : values)
        *value = QString::fromStdString(provider.ConsumeRandomLengthString());

    const QByteArray encoded = query.encoded();
    const QString shown = QString::fromLatin1(encoded);

    // Only the unreserved characters, escapes and the two separators.
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            require(i + 2 < encoded.size() && isUpperHex(encoded[i + 1]) && isUpperHex(encoded[i + 2]),
                    "every escape is a percent sign and two upper-case hex digits", shown);
            i += 2;
        } else {
            require(isUnreserved(c) || c == '&' || c == '=', "no raw character outside the unreserved set",
                    shown);
        }
    }

    // Decoding gives back exactly the fifteen keys, in order, with their values.
    const QList<QByteArray> pairs = encoded.split('&');
    require(pairs.size() == 15, "fifteen pairs", shown);
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const QList<QByteArray> parts = pairs[i].split('=');
        require(parts.size() == 2, "one '=' in every pair", shown);
        require(parts[0] == keys[i], "the keys stay in their order", shown);
        const QString value = QString::fromUtf8(QByteArray::fromPercentEncoding(parts[1]));
        require(value == *values[i], "decoding gives back the value", value);
    }
    return 0;
}
