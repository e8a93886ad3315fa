#include "sandbox/CourierService.h"

#include "sandbox/Faults.h"
#include "sandbox/SandboxSupport.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <numbers>
#include <rapidjson/document.h>

namespace brisfold::sandbox {

namespace {

// The platform's one-letter payment codes; anything else is unknown to it.
constexpr std::string_view knownPaymentCodes = "FDBCXPHR";

constexpr const char *estimateKeys[] = {
    "endereco_partida", "bairro_partida",    "cidade_partida",  "estado_partida",  "lat_partida",
    "lng_partida",      "endereco_desejado", "bairro_desejado", "cidade_desejado", "estado_desejado",
    "lat_desejado",     "lng_desejado",      "latlng_paradas",  "categoria_nome",  "com_retorno"};

const CourierCategory *findCategory(const CourierCompany &company, const std::string &name)
{
    for (const auto &category : company.categories)
        if (category.nome == name)
            return &category;
    return nullptr;
}

// Stands in for the platform's geocoder: the same address always lands on the same point nearby.
void geocode(const CourierCompany &company, const std::string &address, double &lat, double &lng)
{
    std::size_t h = std::hash<std::string>{}(address);
    double bearing = static_cast<double>(h % 3600) / 3600.0 * 2 * std::numbers::pi;
    double km = 1.0 + static_cast<double>((h / 3600) % 5000) / 1000.0;
    double lat0 = *parseNumber(company.lat);
    double lng0 = *parseNumber(company.lng);
    lat = lat0 + km * std::cos(bearing) / 111.32;
    lng = lng0 + km * std::sin(bearing) / (111.32 * std::cos(lat0 * std::numbers::pi / 180.0));
}

bool parseDigits(std::string_view text, int &value)
{
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return !text.empty();
}

// "dd/mm/yyyy" and "hh:nn" as the local moment they name, or -1.
std::time_t scheduleMoment(const std::string &date, const std::string &time)
{
    if (date.size() != 10 || date[2] != '/' || date[5] != '/' || time.size() != 5 || time[2] != ':')
        return -1;
    int day, month, year, hour, minute;
    if (!parseDigits(std::string_view(date).substr(0, 2), day) ||
        !parseDigits(std::string_view(date).substr(3, 2), month) ||
        !parseDigits(std::string_view(date).substr(6, 4), year) ||
        !parseDigits(std::string_view(time).substr(0, 2), hour) ||
        !parseDigits(std::string_view(time).substr(3, 2), minute))
        return -1;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59)
        return -1;
    std::tm parts{};
    parts.tm_mday = day;
    parts.tm_mon = month - 1;
    parts.tm_year = year - 1900;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_isdst = -1;
    std::time_t moment = std::mktime(&parts);
    // mktime normalises 31/02 into March; a real calendar date survives unchanged.
    if (moment == -1 || parts.tm_mday != day || parts.tm_mon != month - 1)
        return -1;
    return moment;
}

// A member that is a number, or a text holding one.
std::optional<double> numberMember(const rapidjson::Value &value)
{
    if (value.IsNumber())
        return value.GetDouble();
    if (value.IsString())
        return parseNumber(value.GetString());
    return std::nullopt;
}

} // namespace

std::vector<CourierCompany> demoCompanies()
{
    std::vector<CourierCategory> categories = {
        {"Moto", 7.00, 1.80, 30.0},
        {"Carro", 12.00, 2.60, 25.0},
        {"Bike", 5.00, 1.50, 14.0},
    };
    return {
        CourierCompany{1042,
                       "Cantina Bella Maringá",
                       "Avenida Brasil, 4120",
                       "Zona 01",
                       "Maringá",
                       "PR",
                       "87013-000",
                       "-23.4253",
                       "-51.9386",
                       "A",
                       "(44) 3025-1234",
                       "12.345.678/0001-90",
                       "demo@brisfold.example",
                       "demo1234",
                       {"F", "D", "B", "C", "X"},
                       categories},
        CourierCompany{2077,
                       "Lanchonete Fechada",
                       "Rua Santos Dumont, 2980",
                       "Zona 03",
                       "Maringá",
                       "PR",
                       "87050-100",
                       "-23.4162",
                       "-51.9301",
                       "I",
                       "(44) 3026-9876",
                       "98.765.432/0001-10",
                       "inativa@brisfold.example",
                       "demo1234",
                       {"F", "D"},
                       {categories[0]}},
    };
}

Estimate estimateDelivery(const CourierCategory &category, double km, bool withReturn)
{
    double fee = category.baseFee + category.feePerKm * km * (withReturn ? 1.5 : 1.0);
    int minutes = 5 + static_cast<int>(std::ceil(km / category.speedKmh * 60.0 * (withReturn ? 2.0 : 1.0)));
    return {std::round(km * 100) / 100, std::round(fee * 100) / 100, minutes};
}

CourierService::CourierService(std::string apiKey, std::vector<CourierCompany> companies)
    : apiKey_(std::move(apiKey))
    , companies_(std::move(companies))
{}

std::string CourierService::errorsBody(const std::vector<std::string> &messages)
{
    JsonBuilder json;
    json.beginObject();
    json.boolean("success", false);
    json.beginArray("errors");
    for (const auto &message : messages) {
        json.beginObject();
        json.text("message", message);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return json.result();
}

void CourierService::install(httplib::Server &server)
{
    server.Get("/api/integracao/empresa",
               [this](const httplib::Request &req, httplib::Response &res) { profile(req, res); });
    server.Get("/api/integracao/estimarEntrega",
               [this](const httplib::Request &req, httplib::Response &res) { estimate(req, res); });
    server.Post("/api/integracao/abrirEntrega",
                [this](const httplib::Request &req, httplib::Response &res) { book(req, res); });
    // A "slow-reply" fault holds the reply here, after the handler has recorded what it did.
    server.set_post_routing_handler(
        [](const httplib::Request &, httplib::Response &) { FaultInjector::holdReply(); });
    server.Get("/solicitacao/gestaoPedido",
               [this](const httplib::Request &req, httplib::Response &res) { managementPage(req, res); });
    server.Get("/", [](const httplib::Request &, httplib::Response &res) {
        sendHtml(res, 200,
                 htmlPage("Trevant (sandbox)",
                          "<h1>Trevant &mdash; plataforma de entregas (sandbox)</h1>"
                          "<p><a href=\"/solicitacao/gestaoPedido\">Gestão de pedidos</a></p>",
                          0));
    });
}

const CourierCompany *CourierService::authenticate(const httplib::Request &req, httplib::Response &res) const
{
    if (req.get_header_value("api-key") != apiKey_) {
        sendJson(res, 401, errorsBody({"api-key inválida ou ausente"}));
        return nullptr;
    }
    auto credentials = basicCredentials(req);
    if (!credentials) {
        res.set_header("WWW-Authenticate", "Basic realm=\"integracao\"");
        sendJson(res, 401, errorsBody({"Autenticação obrigatória"}));
        return nullptr;
    }
    for (const auto &company : companies_) {
        bool sameEmail = std::equal(company.email.begin(), company.email.end(), credentials->user.begin(),
                                    credentials->user.end(), [](char a, char b) {
                                        return std::tolower(static_cast<unsigned char>(a)) ==
                                               std::tolower(static_cast<unsigned char>(b));
                                    });
        if (sameEmail && company.password == credentials->password)
            return &company;
    }
    sendJson(res, 401, errorsBody({"E-mail ou senha inválidos"}));
    return nullptr;
}

void CourierService::profile(const httplib::Request &req, httplib::Response &res) const
{
    const CourierCompany *company = authenticate(req, res);
    if (!company)
        return;
    JsonBuilder json;
    json.beginObject();
    json.boolean("success", true);
    json.beginObject("response");
    json.integer("id", company->id);
    json.text("nome", company->nome);
    json.text("endereco", company->endereco);
    json.text("bairro", company->bairro);
    json.text("cidade", company->cidade);
    json.text("uf", company->uf);
    json.text("cep", company->cep);
    json.text("lat", company->lat);
    json.text("lng", company->lng);
    json.text("status_empresa", company->status);
    json.beginArray("tipos_pagamento");
    for (const auto &code : company->paymentCodes)
        json.text(code);
    json.endArray();
    json.beginArray("categorias");
    int categoryId = 1;
    for (const auto &category : company->categories) {
        json.beginObject();
        json.integer("id", categoryId++);
        json.text("nome", category.nome);
        json.endObject();
    }
    json.endArray();
    json.text("telefone", company->telefone);
    json.text("documento", company->documento);
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

void CourierService::estimate(const httplib::Request &req, httplib::Response &res) const
{
    const CourierCompany *company = authenticate(req, res);
    if (!company)
        return;
    if (company->status != "A") {
        sendJson(res, 403, errorsBody({"Empresa inativa na plataforma"}));
        return;
    }
    std::vector<std::string> errors;
    for (const char *key : estimateKeys)
        if (!req.has_param(key))
            errors.push_back(std::string("Parâmetro obrigatório ausente: ") + key);
    if (!errors.empty()) {
        sendJson(res, 400, errorsBody(errors));
        return;
    }
    auto fromLat = parseNumber(req.get_param_value("lat_partida"));
    auto fromLng = parseNumber(req.get_param_value("lng_partida"));
    if (!fromLat || !fromLng || std::abs(*fromLat) > 90 || std::abs(*fromLng) > 180)
        errors.push_back("Coordenadas de partida inválidas");
    const std::string toLatText = req.get_param_value("lat_desejado");
    const std::string toLngText = req.get_param_value("lng_desejado");
    double toLat = 0, toLng = 0;
    if (toLatText.empty() && toLngText.empty()) {
        geocode(*company, req.get_param_value("endereco_desejado"), toLat, toLng);
    } else {
        auto lat = parseNumber(toLatText);
        auto lng = parseNumber(toLngText);
        if (!lat || !lng || std::abs(*lat) > 90 || std::abs(*lng) > 180)
            errors.push_back("Coordenadas de destino inválidas");
        else
            toLat = *lat, toLng = *lng;
    }
    const std::string categoryName = req.get_param_value("categoria_nome");
    const CourierCategory *category = findCategory(*company, categoryName);
    if (!category)
        errors.push_back("Categoria não disponível para a empresa: " + categoryName);
    const std::string withReturn = req.get_param_value("com_retorno");
    if (withReturn != "true" && withReturn != "false")
        errors.push_back("com_retorno deve ser true ou false");
    if (!errors.empty()) {
        sendJson(res, 400, errorsBody(errors));
        return;
    }
    Estimate e =
        estimateDelivery(*category, distanceKm(*fromLat, *fromLng, toLat, toLng), withReturn == "true");
    const std::string latText = toLatText.empty() ? fixedNumber(toLat, 7) : toLatText;
    const std::string lngText = toLngText.empty() ? fixedNumber(toLng, 7) : toLngText;

    JsonBuilder json;
    json.beginObject();
    json.boolean("success", true);
    json.beginObject("response");
    // Money always with two decimals, as the platform writes it.
    json.number("estimativa_valor", fixedNumber(e.fee, 2));
    json.number("estimativa_km", fixedNumber(e.km, 2));
    json.integer("estimativa_minutos", e.minutes);
    json.text("categoria_nome", category->nome);
    json.boolean("com_retorno", withReturn == "true");
    json.beginObject("partida");
    json.text("lat", req.get_param_value("lat_partida"));
    json.text("lng", req.get_param_value("lng_partida"));
    json.endObject();
    json.beginObject("desejado");
    json.text("endereco", req.get_param_value("endereco_desejado"));
    json.text("lat", latText);
    json.text("lng", lngText);
    json.endObject();
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

void CourierService::book(const httplib::Request &req, httplib::Response &res)
{
    const CourierCompany *company = authenticate(req, res);
    if (!company)
        return;
    if (company->status != "A") {
        sendJson(res, 403, errorsBody({"Empresa inativa na plataforma"}));
        return;
    }
    rapidjson::Document doc;
    doc.Parse(req.body.c_str(), req.body.size());
    if (doc.HasParseError() || !doc.IsObject()) {
        sendJson(res, 400, errorsBody({"Documento JSON inválido"}));
        return;
    }

    std::vector<std::string> errors;
    auto textOf = [&errors](const rapidjson::Value &obj, const char *name, const std::string &where,
                            bool required) -> std::string {
        if (!obj.HasMember(name)) {
            errors.push_back("Campo obrigatório ausente: " + where + name);
            return {};
        }
        if (!obj[name].IsString()) {
            errors.push_back("Campo deve ser texto: " + where + name);
            return {};
        }
        std::string value = obj[name].GetString();
        if (required && value.empty())
            errors.push_back("Campo não pode ser vazio: " + where + name);
        return value;
    };
    auto numberOf = [&errors](const rapidjson::Value &obj, const char *name,
                              const std::string &where) -> std::optional<double> {
        if (!obj.HasMember(name)) {
            errors.push_back("Campo obrigatório ausente: " + where + name);
            return std::nullopt;
        }
        auto value = numberMember(obj[name]);
        if (!value)
            errors.push_back("Campo deve ser numérico: " + where + name);
        return value;
    };
    auto objectOf = [&errors](const rapidjson::Value &obj, const char *name) -> const rapidjson::Value * {
        if (!obj.HasMember(name)) {
            errors.push_back(std::string("Campo obrigatório ausente: ") + name);
            return nullptr;
        }
        if (!obj[name].IsObject()) {
            errors.push_back(std::string("Campo deve ser objeto: ") + name);
            return nullptr;
        }
        return &obj[name];
    };

    const std::string payment = textOf(doc, "forma_pagamento", "", true);
    if (!payment.empty()) {
        if (payment.size() != 1 || knownPaymentCodes.find(payment[0]) == std::string_view::npos)
            errors.push_back("Forma de pagamento desconhecida: " + payment);
        else if (std::find(company->paymentCodes.begin(), company->paymentCodes.end(), payment) ==
                 company->paymentCodes.end())
            errors.push_back("Forma de pagamento não aceita pela empresa: " + payment);
    }
    if (auto companyId = numberOf(doc, "empresa_id", "");
        companyId && *companyId != static_cast<double>(company->id))
        errors.push_back("empresa_id não corresponde à empresa autenticada");
    bool withReturn = false;
    if (!doc.HasMember("retorno") || !doc["retorno"].IsBool())
        errors.push_back("Campo retorno deve ser true ou false");
    else
        withReturn = doc["retorno"].GetBool();
    const std::string categoryName = textOf(doc, "categoria_nome", "", true);
    const CourierCategory *category = findCategory(*company, categoryName);
    if (!categoryName.empty() && !category)
        errors.push_back("Categoria não disponível para a empresa: " + categoryName);
    const std::string date = textOf(doc, "data", "", true);
    const std::string time = textOf(doc, "hora", "", true);
    if (!date.empty() && !time.empty()) {
        std::time_t moment = scheduleMoment(date, time);
        if (moment == -1)
            errors.push_back("Data ou hora de agendamento inválida: " + date + " " + time);
        // An hour of slack for clocks a little apart; a booking further back is a fault of the caller.
        else if (moment < std::time(nullptr) - 3600)
            errors.push_back("Agendamento no passado: " + date + " " + time);
    }
    if (const auto *estimates = objectOf(doc, "estimativas")) {
        numberOf(*estimates, "estimativa_km", "estimativas.");
        numberOf(*estimates, "estimativa_minutos", "estimativas.");
        numberOf(*estimates, "estimativa_valor", "estimativas.");
    }
    std::optional<double> fromLat, fromLng;
    if (const auto *from = objectOf(doc, "partida")) {
        textOf(*from, "endereco", "partida.", true);
        if (!from->HasMember("complemento") ||
            !((*from)["complemento"].IsNull() || (*from)["complemento"].IsString()))
            errors.push_back("Campo obrigatório ausente: partida.complemento");
        textOf(*from, "bairro", "partida.", false);
        textOf(*from, "cidade", "partida.", true);
        textOf(*from, "estado", "partida.", true);
        textOf(*from, "referencia", "partida.", false);
        fromLat = numberOf(*from, "lat", "partida.");
        fromLng = numberOf(*from, "lng", "partida.");
    }
    CourierBooking booking{};
    std::optional<double> toLat, toLng;
    if (!doc.HasMember("paradas") || !doc["paradas"].IsArray() || doc["paradas"].Empty()) {
        errors.push_back("Campo paradas deve ser uma lista com ao menos uma parada");
    } else {
        const auto &stops = doc["paradas"];
        for (rapidjson::SizeType i = 0; i < stops.Size(); ++i) {
            const std::string where = "paradas[" + std::to_string(i) + "].";
            if (!stops[i].IsObject()) {
                errors.push_back("Parada deve ser objeto: " + where);
                continue;
            }
            const auto &stop = stops[i];
            std::string name = textOf(stop, "nome_cliente_parada", where, true);
            std::string phone = textOf(stop, "telefone_cliente_parada", where, false);
            std::string external = textOf(stop, "id_externo", where, true);
            std::string address = textOf(stop, "endereco_parada", where, true);
            textOf(stop, "bairro_parada", where, false);
            textOf(stop, "cidade_parada", where, false);
            textOf(stop, "estado_parada", where, false);
            // An order without coordinates comes with null ones; the platform then places the address itself.
            std::optional<double> lat, lng;
            bool placed = stop.HasMember("lat_parada") && stop["lat_parada"].IsNull() &&
                          stop.HasMember("lng_parada") && stop["lng_parada"].IsNull();
            if (placed) {
                double geoLat = 0, geoLng = 0;
                geocode(*company, address, geoLat, geoLng);
                lat = geoLat;
                lng = geoLng;
            } else {
                lat = numberOf(stop, "lat_parada", where);
                lng = numberOf(stop, "lng_parada", where);
            }
            if (i == 0) {
                booking.cliente = name;
                booking.telefone = phone;
                booking.idExterno = external;
                booking.endereco = address;
                toLat = lat;
                toLng = lng;
            }
        }
    }

    JsonBuilder json;
    json.beginObject();
    if (!errors.empty()) {
        json.boolean("success", false);
        json.beginObject("response");
        json.beginArray("erros");
        for (const auto &error : errors)
            json.text(error);
        json.endArray();
        json.endObject();
        json.endObject();
        sendJson(res, 200, json.result());
        return;
    }

    double km = (fromLat && fromLng && toLat && toLng) ? distanceKm(*fromLat, *fromLng, *toLat, *toLng) : 0.0;
    Estimate e = estimateDelivery(*category, km, withReturn);
    booking.companyId = company->id;
    booking.companyName = company->nome;
    booking.data = date;
    booking.hora = time;
    booking.categoria = category->nome;
    booking.pagamento = payment;
    booking.retorno = withReturn;
    booking.km = fixedNumber(e.km, 2);
    booking.fee = fixedNumber(e.fee, 2);
    booking.receivedAt = localTimeText(std::time(nullptr), "%d/%m/%Y %H:%M:%S");
    {
        std::lock_guard lock(mutex_);
        booking.idMch = std::to_string(nextBooking_++);
        bookings_.push_back(booking);
    }
    json.boolean("success", true);
    json.beginObject("response");
    json.text("id_mch", booking.idMch);
    json.text("status", "agendada");
    json.number("valor", booking.fee);
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

std::vector<CourierBooking> CourierService::bookings() const
{
    std::lock_guard lock(mutex_);
    return bookings_;
}

std::string CourierService::stateJson() const
{
    JsonBuilder json;
    json.beginObject();
    json.beginArray("bookings");
    for (const auto &b : bookings()) {
        json.beginObject();
        json.text("id_mch", b.idMch);
        json.integer("empresa_id", b.companyId);
        json.text("id_externo", b.idExterno);
        json.text("cliente", b.cliente);
        json.text("telefone", b.telefone);
        json.text("endereco", b.endereco);
        json.text("data", b.data);
        json.text("hora", b.hora);
        json.text("categoria", b.categoria);
        json.text("forma_pagamento", b.pagamento);
        json.boolean("retorno", b.retorno);
        json.text("valor", b.fee);
        json.text("recebida_em", b.receivedAt);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return json.result();
}

void CourierService::managementPage(const httplib::Request &, httplib::Response &res) const
{
    const auto list = bookings();
    std::string body = "<h1>Gestão de pedidos &mdash; Trevant (sandbox)</h1>";
    if (list.empty()) {
        body += "<p class=\"muted\">Nenhuma entrega solicitada ainda.</p>";
    } else {
        body +=
            "<table><tr><th>Solicitação</th><th>Empresa</th><th>Pedido</th><th>Cliente</th><th>Telefone</th>"
            "<th>Endereço</th><th>Categoria</th><th>Pagamento</th><th>Retorno</th><th>Agendada para</th>"
            "<th>Km</th><th>Valor (R$)</th><th>Recebida em</th></tr>";
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            body += "<tr><td>" + htmlEscape(it->idMch) + "</td><td>" + htmlEscape(it->companyName) +
                    "</td><td>" + htmlEscape(it->idExterno) + "</td><td>" + htmlEscape(it->cliente) +
                    "</td><td>" + htmlEscape(it->telefone) + "</td><td>" + htmlEscape(it->endereco) +
                    "</td><td>" + htmlEscape(it->categoria) + "</td><td>" + htmlEscape(it->pagamento) +
                    "</td><td>" + (it->retorno ? "Sim" : "Não") + "</td><td>" +
                    htmlEscape(it->data + " " + it->hora) + "</td><td>" + it->km + "</td><td>" + it->fee +
                    "</td><td>" + htmlEscape(it->receivedAt) + "</td></tr>";
        }
        body += "</table>";
    }
    sendHtml(res, 200, htmlPage("Gestão de pedidos - Trevant", body, 10));
}

} // namespace brisfold::sandbox
