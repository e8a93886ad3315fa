// The delivery request document: always one valid JSON text that gives back every value.
//
// Input: the document's values, one after another (FuzzedDataProvider strings, "\" ends one); the
// first byte picks the return choice.

#include "FuzzSupport.h"
#include "courier/DeliveryDocument.h"

#include <QList>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

struct Event
{
    enum Kind
    {
        Null,
        Bool,
        Number,
        String,
        Key,
        StartObject,
        EndObject,
        StartArray,
        EndArray
    } kind;
    QString text;

    bool operator==(const Event &) const = default;
};

// Records the document as a flat list of events; numbers keep the text they were written with.
struct Recorder : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Recorder>
{
    QList<Event> events;

    bool add(Event::Kind kind, QString text = {})
    {
        events.append({kind, std::move(text)});
        return true;
    }
    bool Null() { return add(Event::Null); }
    bool Bool(bool b) { return add(Event::Bool, b ? QStringLiteral("true") : QStringLiteral("false")); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool)
    {
        return add(Event::Number, QString::fromUtf8(s, qsizetype(n)));
    }
    bool String(const char *s, rapidjson::SizeType n, bool)
    {
        return add(Event::String, QString::fromUtf8(s, qsizetype(n)));
    }
    bool Key(const char *s, rapidjson::SizeType n, bool)
    {
        return add(Event::Key, QString::fromUtf8(s, qsizetype(n)));
    }
    bool StartObject() { return add(Event::StartObject); }
    bool EndObject(rapidjson::SizeType) { return add(Event::EndObject); }
    bool StartArray() { return add(Event::StartArray); }
    bool EndArray(rapidjson::SizeType) { return add(Event::EndArray); }
};

// Strict JSON, UTF-8 checked, nothing after the value; numbers are not converted, so any size is fine.
constexpr unsigned strict = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag;

std::optional<QList<Event>> parse(const QByteArray &utf8)
{
    Recorder recorder;
    rapidjson::Reader reader;
    rapidjson::MemoryStream stream(utf8.constData(), size_t(utf8.size()));
    if (reader.Parse<strict>(stream, recorder).IsError())
        return std::nullopt;
    return recorder.events;
}

// How a bare value must come back: null when empty, a number as written when the text alone is
// an ordinary JSON number, a string when it is no JSON number. A number too long or too large for
// a double may come back either way.
struct Bare
{
    Event event;
    bool eitherWay = false;
};

Bare bareEvent(const QString &text)
{
    if (text.isEmpty())
        return {{Event::Null, {}}};
    const QByteArray utf8 = text.toUtf8();
    const auto alone = parse(utf8);
    // The reader skips blanks around a value and stops at a NUL; the document must do neither.
    const bool plain = std::all_of(utf8.begin(), utf8.end(), [](char c) { return c > ' '; });
    if (!plain || !alone || alone->size() != 1 || alone->front().kind != Event::Number)
        return {{Event::String, text}};
    const bool ordinary = utf8.size() <= 40 && std::isfinite(std::strtod(utf8.constData(), nullptr));
    return {{ordinary ? Event::Number : Event::String, text}, !ordinary};
}

class Expected
{
public:
    void member(const char *key, Event value)
    {
        events.append({Event::Key, QString::fromLatin1(key)});
        events.append(std::move(value));
    }
    void member(const char *key, Bare value)
    {
        if (value.eitherWay)
            eitherWay.append(events.size() + 1);
        member(key, std::move(value.event));
    }
    void text(const char *key, const QString &value) { member(key, Event{Event::String, value}); }
    void open(const char *key, Event::Kind kind)
    {
        if (key)
            events.append({Event::Key, QString::fromLatin1(key)});
        events.append(Event{kind, {}});
    }
    void close(Event::Kind kind) { events.append(Event{kind, {}}); }

    bool matches(const QList<Event> &actual)
    {
        for (qsizetype at : eitherWay) {
            if (at < actual.size() && actual[at] == Event{Event::Number, events[at].text})
                events[at].kind = Event::Number;
        }
        return actual == events;
    }

    QList<Event> events;
    QList<qsizetype> eitherWay;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const bool withReturn = provider.ConsumeBool();
    DeliveryDocument d;
    QString *const values[] = {
        &d.formaPagamento,  &d.empresaId,     &d.categoriaNome,   &d.schedule.data, &d.schedule.hora,
        &d.partidaEndereco, &d.partidaBairro, &d.partidaCidade,   &d.partidaEstado, &d.partidaLat,
        &d.partidaLng,      &d.nomeCliente,   &d.telefoneCliente, &d.idPedido,      &d.enderecoParada,
        &d.latParada,       &d.lngParada,
    };
    // Values come from the database and from parsed replies, so they are always well-formed text.
    for (QString *value : values)
        *value = QString::fromStdString(provider.ConsumeRandomLengthString());
    d.retorno = withReturn ? QStringLiteral("Sim") : QStringLiteral("Não");

    const QString json = d.toJson();
    require(!json.contains(u'\n') && !json.contains(u'\r'), "the document is one line", json);
    const auto events = parse(json.toUtf8());
    require(events.has_value(), "the document is valid JSON", json);

    Expected e;
    e.open(nullptr, Event::StartObject);
    e.text("forma_pagamento", d.formaPagamento);
    e.member("empresa_id", bareEvent(d.empresaId));
    e.member("retorno", Event{Event::Bool, withReturn ? QStringLiteral("true") : QStringLiteral("false")});
    e.text("categoria_nome", d.categoriaNome);
    e.text("data", d.schedule.data);
    e.text("hora", d.schedule.hora);
    e.open("estimativas", Event::StartObject);
    e.member("estimativa_km", Event{Event::Number, QStringLiteral("5")});
    e.member("estimativa_minutos", Event{Event::Number, QStringLiteral("8")});
    e.member("estimativa_valor", Event{Event::Number, QStringLiteral("11")});
    e.close(Event::EndObject);
    e.open("partida", Event::StartObject);
    e.text("endereco", d.partidaEndereco);
    e.member("complemento", Event{Event::Null, {}});
    e.text("bairro", d.partidaBairro);
    e.text("cidade", d.partidaCidade);
    e.text("estado", d.partidaEstado);
    e.text("referencia", {});
    e.text("lat", d.partidaLat);
    e.text("lng", d.partidaLng);
    e.close(Event::EndObject);
    e.open("paradas", Event::StartArray);
    e.open(nullptr, Event::StartObject);
    e.text("nome_cliente_parada", d.nomeCliente);
    e.text("telefone_cliente_parada", d.telefoneCliente);
    e.text("id_externo", QStringLiteral("aiqfome ") + d.idPedido);
    e.text("endereco_parada", d.enderecoParada);
    e.text("bairro_parada", QStringLiteral("-"));
    e.text("cidade_parada", QStringLiteral("-"));
    e.text("estado_parada", QStringLiteral("-"));
    e.member("lat_parada", bareEvent(d.latParada));
    e.member("lng_parada", bareEvent(d.lngParada));
    e.close(Event::EndObject);
    e.close(Event::EndArray);
    e.close(Event::EndObject);

    require(e.matches(*events), "the document gives back every value", json);
    return 0;
}
