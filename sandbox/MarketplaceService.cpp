#include "sandbox/MarketplaceService.h"

#include "sandbox/SandboxSupport.h"

#include <array>
#include <cmath>
#include <numbers>
#include <rapidjson/document.h>

namespace brisfold::sandbox {

namespace {

// The order of kinds as they arrive: most are deliveries, with a pick-up, an unread order and a
// cancellation in every eight, so a client that forgets one of its filters shows it soon.
constexpr std::array<OrderKind, 8> arrivalPattern = {
    OrderKind::Delivery,          OrderKind::Delivery, OrderKind::Pickup,
    OrderKind::Delivery,          OrderKind::Unread,   OrderKind::Delivery,
    OrderKind::CancelledOnDetail, OrderKind::Delivery};

constexpr std::array firstNames = {"Ana",      "Bruno",    "Camila",  "Diego",  "Eduarda", "Felipe",
                                   "Gabriela", "Henrique", "Isabela", "João",   "Larissa", "Lucas",
                                   "Mariana",  "Matheus",  "Natália", "Otávio", "Paula",   "Rafael",
                                   "Sabrina",  "Thiago",   "Vitória"};
constexpr std::array surnames = {"Silva",     "Santos",  "Oliveira",   "Souza", "Pereira", "Costa",
                                 "Rodrigues", "Almeida", "Nascimento", "Lima",  "Araújo",  "Fernandes",
                                 "Carvalho",  "Gomes",   "Martins",    "Rocha", "Ribeiro", "Barbosa"};
constexpr std::array streets = {"Avenida Brasil",
                                "Avenida Herval",
                                "Rua Néo Alves Martins",
                                "Avenida Tiradentes",
                                "Rua Santos Dumont",
                                "Avenida XV de Novembro",
                                "Rua Joubert de Carvalho",
                                "Avenida Cerro Azul",
                                "Avenida Mandacaru",
                                "Avenida Colombo",
                                "Rua Arthur Thomas",
                                "Avenida Pedro Taques",
                                "Rua Vereador Basílio Sautchuk",
                                "Rua Marcílio Dias",
                                "Avenida São Paulo"};
constexpr std::array neighborhoods = {"Zona 01",
                                      "Zona 02",
                                      "Zona 03",
                                      "Zona 05",
                                      "Zona 07",
                                      "Jardim Alvorada",
                                      "Vila Operária",
                                      "Jardim Universitário",
                                      "Vila Morangueira",
                                      "Parque das Grevíleas",
                                      "Jardim Novo Horizonte",
                                      "Vila Esperança"};
constexpr std::array references = {
    "Próximo à praça", "Em frente à padaria", "Portão azul", "Ao lado do mercado", "Fundos", ""};
constexpr std::array complements = {"Apto 12", "Casa 2", "Bloco B apto 304", "Sala 5", ""};
constexpr std::array payments = {"Pix", "Cartão de crédito", "Cartão de débito", "Dinheiro"};

template <typename Array> const char *pick(std::mt19937 &random, const Array &items)
{
    return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(random)];
}

std::string digits(std::mt19937 &random, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(random)));
    return out;
}

std::string newToken()
{
    std::random_device device;
    std::string token;
    constexpr std::string_view hex = "0123456789abcdef";
    for (int i = 0; i < 48; ++i)
        token.push_back(hex[device() % 16]);
    return token;
}

bool isDay(const std::string &text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

} // namespace

std::optional<OrderKind> parseOrderKind(std::string_view name)
{
    for (OrderKind kind :
         {OrderKind::Delivery, OrderKind::Pickup, OrderKind::Unread, OrderKind::CancelledOnDetail})
        if (orderKindName(kind) == name)
            return kind;
    return std::nullopt;
}

std::string_view orderKindName(OrderKind kind)
{
    switch (kind) {
    case OrderKind::Delivery:
        return "delivery";
    case OrderKind::Pickup:
        return "pickup";
    case OrderKind::Unread:
        return "unread";
    case OrderKind::CancelledOnDetail:
        return "cancelled";
    }
    return "delivery";
}

std::string MarketplaceService::errorBody(std::string_view error, std::string_view message)
{
    JsonBuilder json;
    json.beginObject();
    json.text("error", error);
    json.text("message", message);
    json.endObject();
    return json.result();
}

MarketplaceService::MarketplaceService(MarketplaceSettings settings)
    : settings_(std::move(settings))
    , random_(settings_.seed)
    , started_(Clock::now())
    , nextOrderId_(48120000 + static_cast<long>(random_() % 9000))
{}

void MarketplaceService::install(httplib::Server &server)
{
    server.Post("/alfredo/auth/token",
                [this](const httplib::Request &req, httplib::Response &res) { token(req, res); });
    server.Get("/alfredo/orders/search",
               [this](const httplib::Request &req, httplib::Response &res) { search(req, res); });
    server.Get(R"(/alfredo/orders/([^/]+))",
               [this](const httplib::Request &req, httplib::Response &res) { detail(req, res); });
    server.Get("/pedidos",
               [this](const httplib::Request &req, httplib::Response &res) { ordersPage(req, res); });
    server.Get("/", [](const httplib::Request &, httplib::Response &res) {
        sendHtml(res, 200,
                 htmlPage("aiqfome (sandbox)",
                          "<h1>aiqfome &mdash; painel do restaurante (sandbox)</h1>"
                          "<p><a href=\"/pedidos\">Pedidos</a></p>",
                          0));
    });
}

MarketplaceOrder MarketplaceService::makeOrder(OrderKind kind)
{
    MarketplaceOrder order;
    nextOrderId_ += 1 + static_cast<long>(random_() % 37);
    order.id = std::to_string(nextOrderId_);
    order.kind = kind;
    // Placed a little before the marketplace shows it.
    order.createdAt = std::time(nullptr) - static_cast<std::time_t>(random_() % 90);
    order.name = pick(random_, firstNames);
    order.surname = pick(random_, surnames);
    order.email = "cliente" + digits(random_, 5) + "@email.example";
    order.street = pick(random_, streets);
    order.number = std::to_string(100 + random_() % 4900);
    order.neighborhood = pick(random_, neighborhoods);
    order.reference = pick(random_, references);
    order.zip = "870" + digits(random_, 2) + "-" + digits(random_, 3);
    // A quarter have no complement at all (null), the rest one of the usual texts.
    if (random_() % 4 != 0)
        order.complement = pick(random_, complements);
    order.mobilePhone = "(44) 9" + digits(random_, 4) + "-" + digits(random_, 4);
    // Some customers give only a mobile number.
    order.phone = random_() % 5 == 0 ? std::string() : order.mobilePhone;
    double bearing = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(random_);
    double km = std::uniform_real_distribution<double>(0.5, 5.0)(random_);
    double lat = settings_.pickupLat + km * std::cos(bearing) / 111.32;
    double lng = settings_.pickupLng +
                 km * std::sin(bearing) / (111.32 * std::cos(settings_.pickupLat * std::numbers::pi / 180.0));
    order.lat = fixedNumber(lat, 7);
    order.lng = fixedNumber(lng, 7);
    order.total = fixedNumber(25.0 + static_cast<double>(random_() % 9000) / 100.0, 2);
    order.paymentName = pick(random_, payments);
    return order;
}

void MarketplaceService::catchUp()
{
    auto elapsed = std::chrono::duration<double>(Clock::now() - started_).count();
    int due = settings_.initialOrders;
    if (settings_.orderIntervalSeconds > 0)
        due += static_cast<int>(elapsed / settings_.orderIntervalSeconds);
    while (scheduledMade_ < due) {
        orders_.push_back(
            makeOrder(arrivalPattern[static_cast<std::size_t>(scheduledMade_) % arrivalPattern.size()]));
        ++scheduledMade_;
    }
}

std::string MarketplaceService::addOrder(OrderKind kind)
{
    std::lock_guard lock(mutex_);
    catchUp();
    orders_.push_back(makeOrder(kind));
    return orders_.back().id;
}

std::vector<MarketplaceOrder> MarketplaceService::orders()
{
    std::lock_guard lock(mutex_);
    catchUp();
    return orders_;
}

bool MarketplaceService::checkContact(const httplib::Request &req, httplib::Response &res) const
{
    if (req.get_header_value("Aiq-User-Agent") == settings_.contact)
        return true;
    sendJson(res, 403,
             errorBody("forbidden", "Cabeçalho Aiq-User-Agent ausente ou não cadastrado para o integrador"));
    return false;
}

bool MarketplaceService::checkToken(const httplib::Request &req, httplib::Response &res)
{
    if (!checkContact(req, res))
        return false;
    const std::string token = bearerToken(req);
    if (token.empty()) {
        sendJson(res, 401, errorBody("unauthorized", "Token de acesso ausente"));
        return false;
    }
    std::lock_guard lock(mutex_);
    auto it = tokens_.find(token);
    if (it == tokens_.end() || it->second <= Clock::now()) {
        sendJson(res, 401, errorBody("unauthorized", "Token de acesso inválido ou expirado"));
        return false;
    }
    return true;
}

void MarketplaceService::token(const httplib::Request &req, httplib::Response &res)
{
    if (!checkContact(req, res))
        return;
    auto client = basicCredentials(req);
    if (!client || client->user != settings_.clientId || client->password != settings_.clientSecret) {
        res.set_header("WWW-Authenticate", "Basic realm=\"alfredo\"");
        sendJson(res, 401, errorBody("invalid_client", "Credenciais do integrador inválidas"));
        return;
    }
    rapidjson::Document doc;
    doc.Parse(req.body.c_str(), req.body.size());
    if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("username") || !doc["username"].IsString() ||
        !doc.HasMember("password") || !doc["password"].IsString()) {
        sendJson(res, 400,
                 errorBody("invalid_request", "Corpo deve ser JSON com \"username\" e \"password\""));
        return;
    }
    if (doc["username"].GetString() != settings_.user || doc["password"].GetString() != settings_.password) {
        sendJson(res, 401, errorBody("invalid_grant", "Usuário ou senha do restaurante inválidos"));
        return;
    }
    const std::string token = newToken();
    {
        std::lock_guard lock(mutex_);
        auto now = Clock::now();
        std::erase_if(tokens_, [now](const auto &entry) { return entry.second <= now; });
        tokens_[token] = now + std::chrono::seconds(settings_.tokenLifetimeSeconds);
    }
    JsonBuilder json;
    json.beginObject();
    json.beginObject("data");
    json.text("access_token", token);
    json.text("token_type", "Bearer");
    json.integer("expires_in", settings_.tokenLifetimeSeconds);
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

void MarketplaceService::search(const httplib::Request &req, httplib::Response &res)
{
    if (!checkToken(req, res))
        return;
    const std::string start = req.get_param_value("filter[date_start]");
    const std::string end = req.get_param_value("filter[date_end]");
    if (!isDay(start) || !isDay(end) || start > end) {
        sendJson(res, 422,
                 errorBody("validation_error",
                           "filter[date_start] e filter[date_end] devem ser datas yyyy-mm-dd em ordem"));
        return;
    }
    if (req.has_param("per_page")) {
        auto perPage = parseNumber(req.get_param_value("per_page"));
        if (!perPage || *perPage < 1 || *perPage != std::floor(*perPage)) {
            sendJson(res, 422, errorBody("validation_error", "per_page deve ser um número inteiro"));
            return;
        }
    }
    const auto list = orders();
    JsonBuilder json;
    json.beginObject();
    json.beginArray("data");
    int count = 0;
    for (const auto &order : list) {
        const std::string day = localTimeText(order.createdAt, "%Y-%m-%d");
        if (day < start || day > end)
            continue;
        ++count;
        const std::string created = localTimeText(order.createdAt, "%Y-%m-%d %H:%M:%S");
        const std::string customer = order.name + " " + order.surname;
        json.beginObject();
        json.integer("order_id", std::stol(order.id));
        json.text("created_at", created);
        json.boolean("is_ready", false);
        json.boolean("order_is_pickup", order.kind == OrderKind::Pickup);
        json.boolean("is_read", order.kind != OrderKind::Unread);
        json.boolean("is_cancelled", order.cancelled);
        json.text("customer_name", customer);
        json.number("total", order.total);
        json.endObject();
    }
    json.endArray();
    json.beginObject("meta");
    json.integer("current_page", 1);
    json.integer("total", count);
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

void MarketplaceService::detail(const httplib::Request &req, httplib::Response &res)
{
    if (!checkToken(req, res))
        return;
    const std::string id = req.matches[1];
    MarketplaceOrder order;
    {
        std::lock_guard lock(mutex_);
        catchUp();
        auto it = std::find_if(orders_.begin(), orders_.end(), [&id](const auto &o) { return o.id == id; });
        if (it == orders_.end()) {
            sendJson(res, 404, errorBody("not_found", "Pedido não encontrado: " + id));
            return;
        }
        ++it->detailRequests;
        // The customer gave up between the list and the detail.
        if (it->kind == OrderKind::CancelledOnDetail)
            it->cancelled = true;
        order = *it;
    }
    const std::string created = localTimeText(order.createdAt, "%Y-%m-%d %H:%M:%S");
    JsonBuilder json;
    json.beginObject();
    json.beginObject("data");
    json.integer("id", std::stol(order.id));
    json.text("created_at", created);
    json.boolean("is_ready", false);
    json.boolean("is_pickup", order.kind == OrderKind::Pickup);
    json.boolean("is_read", order.kind != OrderKind::Unread);
    json.boolean("is_cancelled", order.cancelled);
    json.boolean("is_delivered", false);
    json.number("total", order.total);
    json.beginObject("payment_method");
    json.text("name", order.paymentName);
    json.endObject();
    json.beginObject("user");
    json.text("name", order.name);
    json.text("surname", order.surname);
    json.text("email", order.email);
    json.beginObject("address");
    json.text("street_name", order.street);
    json.text("number", order.number);
    json.nullableText("complement", order.complement);
    json.text("reference", order.reference);
    json.text("neighborhood_name", order.neighborhood);
    json.text("city_name", settings_.city);
    json.text("state_uf", settings_.uf);
    json.text("zip_code", order.zip);
    json.text("phone", order.phone);
    json.text("mobile_phone", order.mobilePhone);
    json.text("latitude", order.lat);
    json.text("longitude", order.lng);
    json.endObject();
    json.endObject();
    json.endObject();
    json.endObject();
    sendJson(res, 200, json.result());
}

std::string MarketplaceService::stateJson()
{
    const auto list = orders();
    JsonBuilder json;
    json.beginObject();
    json.beginArray("orders");
    for (const auto &order : list) {
        json.beginObject();
        json.text("order_id", order.id);
        json.text("kind", orderKindName(order.kind));
        json.text("created_at", localTimeText(order.createdAt, "%Y-%m-%d %H:%M:%S"));
        json.text("customer", order.name + " " + order.surname);
        json.boolean("cancelled", order.cancelled);
        json.integer("detail_requests", order.detailRequests);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return json.result();
}

void MarketplaceService::ordersPage(const httplib::Request &, httplib::Response &res)
{
    const auto list = orders();
    std::string body = "<h1>Pedidos &mdash; aiqfome (sandbox)</h1>";
    if (list.empty()) {
        body += "<p class=\"muted\">Nenhum pedido ainda.</p>";
    } else {
        body +=
            "<table><tr><th>Pedido</th><th>Feito em</th><th>Cliente</th><th>Telefone</th><th>Endereço</th>"
            "<th>Tipo</th><th>Situação</th><th>Total (R$)</th><th>Pagamento</th></tr>";
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            std::string address = it->street + ", " + it->number;
            if (it->complement && !it->complement->empty())
                address += " - " + *it->complement;
            address += " - " + it->neighborhood;
            std::string situation = it->cancelled                   ? "Cancelado"
                                    : it->kind == OrderKind::Unread ? "Não lido"
                                    : it->detailRequests > 0        ? "Recebido pelo sistema"
                                                                    : "Novo";
            body += "<tr><td>" + htmlEscape(it->id) + "</td><td>" +
                    htmlEscape(localTimeText(it->createdAt, "%d/%m/%Y %H:%M")) + "</td><td>" +
                    htmlEscape(it->name + " " + it->surname) + "</td><td>" +
                    htmlEscape(it->phone.empty() ? it->mobilePhone : it->phone) + "</td><td>" +
                    htmlEscape(address) + "</td><td>" +
                    (it->kind == OrderKind::Pickup ? "Retirada" : "Entrega") + "</td><td>" + situation +
                    "</td><td>" + it->total + "</td><td>" + htmlEscape(it->paymentName) + "</td></tr>";
        }
        body += "</table>";
    }
    sendHtml(res, 200, htmlPage("Pedidos - aiqfome", body, 15));
}

} // namespace brisfold::sandbox
