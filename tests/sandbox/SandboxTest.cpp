// The sandbox seen from outside: real TLS clients on loopback, as the program talks to it.
#include "sandbox/Sandbox.h"

#include <BuildConfig.h>
#include <cctype>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <httplib.h>
#include <memory>
#include <openssl/ssl.h>
#include <rapidjson/document.h>
#include <string>
#include <thread>

using namespace brisfold::sandbox;

namespace {

// A client that trusts only the build's CA and offers at most TLS 1.2, like both of the program's clients.
std::unique_ptr<httplib::SSLClient> tlsClient(int port)
{
    auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", port);
    client->set_ca_cert_path(BRISFOLD_SANDBOX_CA_FILE);
    client->enable_server_certificate_verification(true);
    SSL_CTX_set_max_proto_version(client->ssl_context(), TLS1_2_VERSION);
    client->set_connection_timeout(5);
    client->set_read_timeout(5);
    return client;
}

rapidjson::Document parse(const std::string &body)
{
    rapidjson::Document doc;
    doc.Parse(body.c_str(), body.size());
    return doc;
}

// Whether text follows the mask, where '9' stands for any digit.
bool matchesMask(const std::string &text, const std::string &mask)
{
    if (text.size() != mask.size())
        return false;
    for (std::size_t i = 0; i < mask.size(); ++i)
        if (mask[i] == '9' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != mask[i])
            return false;
    return true;
}

// The bare number written after a member name, as it stands in the body.
std::string rawMember(const std::string &body, const std::string &name)
{
    auto at = body.find("\"" + name + "\":");
    if (at == std::string::npos)
        return {};
    at += name.size() + 3;
    return body.substr(at, body.find_first_of(",}", at) - at);
}

std::string today(int daysBack = 0)
{
    std::time_t when = std::time(nullptr) - daysBack * 86400;
    std::tm parts{};
    localtime_r(&when, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

// The delivery request document written the way the program writes it, with one member replaceable.
std::string bookingDocument(const std::string &payment = "X", const std::string &category = "Moto",
                            const std::string &companyId = "1042", const std::string &date = "")
{
    std::string scheduleDate = date;
    std::string scheduleTime = "23:59";
    if (scheduleDate.empty()) {
        std::time_t when = std::time(nullptr) + 30 * 60;
        std::tm parts{};
        localtime_r(&when, &parts);
        char d[16], t[8];
        std::strftime(d, sizeof d, "%d/%m/%Y", &parts);
        std::strftime(t, sizeof t, "%H:%M", &parts);
        scheduleDate = d;
        scheduleTime = t;
    }
    return "{\"forma_pagamento\":\"" + payment + "\",\"empresa_id\":" + companyId +
           ",\"retorno\": true,\"categoria_nome\":\"" + category + "\",\"data\":\"" + scheduleDate +
           "\",\"hora\":\"" + scheduleTime +
           "\",\"estimativas\":{\"estimativa_km\":5,\"estimativa_minutos\":8,\"estimativa_valor\":11},"
           "\"partida\":{\"endereco\":\"Avenida Brasil, 4120\",\"complemento\":null,\"bairro\":\"Zona 01\","
           "\"cidade\":\"Maringa\",\"estado\":\"PR\",\"referencia\":\"\",\"lat\":\"-23.4253\",\"lng\":\"-51."
           "9386\"},"
           "\"paradas\":[{\"nome_cliente_parada\":\"Ana Souza\",\"telefone_cliente_parada\":\"(44) "
           "99812-3456\","
           "\"id_externo\":\"aiqfome 48120417\",\"endereco_parada\":\"Rua Neo Alves Martins 1234, Apto 12  - "
           "Maringa PR\",\"bairro_parada\":\"-\",\"cidade_parada\":\"-\",\"estado_parada\":\"-\","
           "\"lat_parada\":-23.4189,\"lng_parada\":-51.9312}]}";
}

class SandboxTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        SandboxOptions options = buildDefaultOptions();
        options.courierPort = 0;
        options.marketplacePort = 0;
        options.initialOrders = 8; // one full round of the arrival pattern
        options.orderIntervalSeconds = 0;
        options.seed = 7;
        sandbox_ = new Sandbox(options);
        std::string error;
        ASSERT_TRUE(sandbox_->start(error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete sandbox_;
        sandbox_ = nullptr;
    }

    static std::unique_ptr<httplib::SSLClient>
    courier(const std::string &email = "demo@brisfold.example", const std::string &password = "demo1234",
            const std::string &key = brisfold::config::courierApiKey)
    {
        auto client = tlsClient(sandbox_->courierPort());
        client->set_basic_auth(email.c_str(), password.c_str());
        client->set_default_headers({{"api-key", key}});
        return client;
    }

    static std::unique_ptr<httplib::SSLClient> marketplace(const std::string &token = "")
    {
        auto client = tlsClient(sandbox_->marketplacePort());
        httplib::Headers headers{{"Aiq-User-Agent", brisfold::config::marketplaceContact}};
        if (!token.empty())
            headers.emplace("Authorization", "Bearer " + token);
        client->set_default_headers(headers);
        return client;
    }

    static std::string marketplaceToken()
    {
        auto client = marketplace();
        client->set_basic_auth(brisfold::config::marketplaceClientId,
                               brisfold::config::marketplaceClientSecret);
        auto res = client->Post("/alfredo/auth/token",
                                "  {\"username\" : \"cantina.bella\",\"password\" : \"aiqfome123\"}",
                                "application/json; charset=utf-8");
        if (!res || res->status != 200)
            return {};
        return parse(res->body)["data"]["access_token"].GetString();
    }

    static std::string estimateQuery(const std::string &lat, const std::string &lng,
                                     const std::string &category, const std::string &withReturn)
    {
        return "/api/integracao/"
               "estimarEntrega?endereco_partida=Avenida%20Brasil,%204120&bairro_partida=Zona%2001"
               "&cidade_partida=Maringa&estado_partida=PR&lat_partida=-23.4253&lng_partida=-51.9386"
               "&endereco_desejado=Rua%20Neo%20Alves%20Martins%201234&bairro_desejado=Zona%2001"
               "&cidade_desejado=Maringa&estado_desejado=PR&lat_desejado=" +
               lat + "&lng_desejado=" + lng + "&latlng_paradas=&categoria_nome=" + category +
               "&com_retorno=" + withReturn;
    }

    // The platform's error shape, holding a message that contains the given text.
    static void expectErrors(const httplib::Result &res, int status, const std::string &fragment)
    {
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, status) << res->body;
        auto doc = parse(res->body);
        ASSERT_TRUE(doc.IsObject() && doc.HasMember("errors") && doc["errors"].IsArray()) << res->body;
        bool found = false;
        for (const auto &e : doc["errors"].GetArray()) {
            ASSERT_TRUE(e.IsObject() && e.HasMember("message") && e["message"].IsString()) << res->body;
            found = found || std::string(e["message"].GetString()).find(fragment) != std::string::npos;
        }
        EXPECT_TRUE(found) << "no message with \"" << fragment << "\" in " << res->body;
    }

    static Sandbox *sandbox_;
};

Sandbox *SandboxTest::sandbox_ = nullptr;

TEST_F(SandboxTest, CompanyProfileOfTheActiveAndTheInactiveCompany)
{
    auto res = courier()->Get("/api/integracao/empresa");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    ASSERT_EQ(res->status, 200);
    auto doc = parse(res->body);
    ASSERT_TRUE(doc.IsObject() && doc["response"].IsObject()) << res->body;
    const auto &profile = doc["response"];
    for (const char *member : {"id", "nome", "endereco", "bairro", "cidade", "uf", "cep", "lat", "lng",
                               "status_empresa", "telefone", "documento"})
        EXPECT_TRUE(profile.HasMember(member)) << member;
    EXPECT_STREQ(profile["status_empresa"].GetString(), "A");
    ASSERT_TRUE(profile["tipos_pagamento"].IsArray());
    EXPECT_GT(profile["tipos_pagamento"].Size(), 0u);
    ASSERT_TRUE(profile["categorias"].IsArray());
    for (const auto &category : profile["categorias"].GetArray())
        EXPECT_TRUE(category.IsObject() && category.HasMember("nome") && category["nome"].IsString());

    auto inactive = courier("inativa@brisfold.example")->Get("/api/integracao/empresa");
    ASSERT_TRUE(inactive);
    ASSERT_EQ(inactive->status, 200);
    EXPECT_STRNE(parse(inactive->body)["response"]["status_empresa"].GetString(), "A");
}

TEST_F(SandboxTest, CourierRefusesWhatTheRealPlatformRefuses)
{
    struct Case
    {
        const char *what;
        std::string email, password, key;
        int status;
        const char *message;
    };
    const std::string key = brisfold::config::courierApiKey;
    const Case cases[] = {
        {"wrong key", "demo@brisfold.example", "demo1234", "sandbox_courier_key_0123456789AC", 401,
         "api-key"},
        {"no key", "demo@brisfold.example", "demo1234", "", 401, "api-key"},
        {"wrong password", "demo@brisfold.example", "demo12345", key, 401, "senha"},
        {"unknown e-mail", "ninguem@brisfold.example", "demo1234", key, 401, "senha"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        expectErrors(courier(c.email, c.password, c.key)->Get("/api/integracao/empresa"), c.status,
                     c.message);
    }
    // An inactive company may sign in, but the platform books nothing for it.
    expectErrors(courier("inativa@brisfold.example")
                     ->Post("/api/integracao/abrirEntrega", bookingDocument("F", "Moto", "2077"),
                            "application/json; charset=UTF-8"),
                 403, "inativa");
}

TEST_F(SandboxTest, EstimateFollowsDistanceCategoryAndReturn)
{
    auto fee = [](const std::string &lat, const std::string &lng, const std::string &category,
                  const std::string &withReturn) {
        auto res = courier()->Get(estimateQuery(lat, lng, category, withReturn));
        EXPECT_TRUE(res && res->status == 200) << (res ? res->body : httplib::to_string(res.error()));
        if (!res || res->status != 200)
            return -1.0;
        // Money is written as a bare number with two decimals.
        const std::string money = rawMember(res->body, "estimativa_valor");
        EXPECT_TRUE(money.size() >= 4 && money[money.size() - 3] == '.' &&
                    money.find_first_not_of("0123456789.") == std::string::npos)
            << res->body;
        auto doc = parse(res->body);
        const auto &destination = doc["response"]["desejado"];
        EXPECT_TRUE(destination.IsObject() && destination.HasMember("lat") && destination.HasMember("lng"));
        return doc["response"]["estimativa_valor"].GetDouble();
    };
    double near = fee("-23.4200", "-51.9350", "Moto", "false");
    double far = fee("-23.3800", "-51.9000", "Moto", "false");
    EXPECT_GT(far, near);
    EXPECT_GT(fee("-23.3800", "-51.9000", "Carro", "false"), far);
    EXPECT_GT(fee("-23.3800", "-51.9000", "Moto", "true"), far);
    // An order without coordinates is placed by the platform itself.
    EXPECT_GT(fee("", "", "Moto", "false"), 0.0);
}

TEST_F(SandboxTest, EstimateRefusesAnIncompleteOrWrongQuery)
{
    const std::string full = estimateQuery("-23.4200", "-51.9350", "Moto", "false");
    struct Case
    {
        const char *what;
        std::string path;
        const char *message;
    };
    const Case cases[] = {
        // What a hash character in an address leaves of the query.
        {"query cut short", full.substr(0, full.find("&endereco_desejado")), "lat_desejado"},
        {"category not offered", estimateQuery("-23.42", "-51.93", "Caminhao", "false"), "Categoria"},
        {"return not a boolean", estimateQuery("-23.42", "-51.93", "Moto", "Sim"), "com_retorno"},
        {"destination not a number", estimateQuery("abc", "-51.93", "Moto", "false"), "destino"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        expectErrors(courier()->Get(c.path), 400, c.message);
    }
}

TEST_F(SandboxTest, BookingIsAcceptedAndListedWithItsSchedule)
{
    const std::string document = bookingDocument();
    auto res = courier()->Post("/api/integracao/abrirEntrega", document, "application/json; charset=UTF-8");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    ASSERT_EQ(res->status, 200);
    auto doc = parse(res->body);
    ASSERT_TRUE(doc.IsObject() && doc["response"].IsObject()) << res->body;
    ASSERT_TRUE(doc["response"].HasMember("id_mch")) << res->body;
    const std::string id = doc["response"]["id_mch"].GetString();

    // An order without coordinates is written with null ones, and is booked all the same.
    std::string withoutCoordinates = bookingDocument();
    withoutCoordinates.replace(withoutCoordinates.find("-23.4189"), 8, "null");
    withoutCoordinates.replace(withoutCoordinates.find("-51.9312"), 8, "null");
    auto placed = courier()->Post("/api/integracao/abrirEntrega", withoutCoordinates,
                                  "application/json; charset=UTF-8");
    ASSERT_TRUE(placed);
    EXPECT_TRUE(parse(placed->body)["response"].HasMember("id_mch")) << placed->body;

    auto page = tlsClient(sandbox_->courierPort())->Get("/solicitacao/gestaoPedido");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    auto scheduled = parse(document);
    EXPECT_NE(page->body.find(id), std::string::npos);
    EXPECT_NE(page->body.find("aiqfome 48120417"), std::string::npos);
    EXPECT_NE(
        page->body.find(std::string(scheduled["data"].GetString()) + " " + scheduled["hora"].GetString()),
        std::string::npos);
}

TEST_F(SandboxTest, BookingRefusalsComeAsErros)
{
    struct Case
    {
        const char *what;
        std::string document;
        const char *message;
    };
    std::string missingStop = bookingDocument();
    missingStop.replace(missingStop.find("\"id_externo\""), std::string("\"id_externo\"").size(),
                        "\"id_extern\"");
    const Case cases[] = {
        {"unknown payment code", bookingDocument("Z"), "Forma de pagamento desconhecida"},
        {"payment code the company does not accept", bookingDocument("P"), "não aceita"},
        {"category not offered", bookingDocument("X", "Caminhao"), "Categoria"},
        {"another company's id", bookingDocument("X", "Moto", "2077"), "empresa_id"},
        {"a date that does not exist", bookingDocument("X", "Moto", "1042", "31/02/2031"), "inválida"},
        {"a date in the past", bookingDocument("X", "Moto", "1042", "01/01/2020"), "passado"},
        {"a stop member missing", missingStop, "id_externo"},
    };
    const auto bookingsBefore = sandbox_->courier().bookings().size();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto res =
            courier()->Post("/api/integracao/abrirEntrega", c.document, "application/json; charset=UTF-8");
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200) << res->body;
        auto doc = parse(res->body);
        ASSERT_TRUE(doc.IsObject() && doc["response"].IsObject()) << res->body;
        EXPECT_FALSE(doc["response"].HasMember("id_mch"));
        ASSERT_TRUE(doc["response"]["erros"].IsArray()) << res->body;
        std::string all;
        for (const auto &e : doc["response"]["erros"].GetArray())
            all += std::string(e.GetString()) + "\n";
        EXPECT_NE(all.find(c.message), std::string::npos) << all;
    }
    // A document that is not JSON at all (an empty bare value) is an error reply.
    std::string broken = bookingDocument();
    broken.replace(broken.find("-23.4189"), 8, "");
    expectErrors(courier()->Post("/api/integracao/abrirEntrega", broken, "application/json; charset=UTF-8"),
                 400, "JSON");
    EXPECT_EQ(sandbox_->courier().bookings().size(), bookingsBefore) << "a refused booking was kept";
}

TEST_F(SandboxTest, MarketplaceTokenRefusals)
{
    struct Case
    {
        const char *what;
        std::string clientSecret, contact, body;
        int status;
    };
    const std::string secret = brisfold::config::marketplaceClientSecret;
    const std::string contact = brisfold::config::marketplaceContact;
    const Case cases[] = {
        {"wrong restaurant password", secret, contact, R"(  {"username" : "cantina.bella","password" : "x"})",
         401},
        {"wrong integrator secret", "sandboxMarketplaceSecret0123456X", contact,
         R"(  {"username" : "cantina.bella","password" : "aiqfome123"})", 401},
        {"no contact header", secret, "", R"(  {"username" : "cantina.bella","password" : "aiqfome123"})",
         403},
        // A password holding a double quote, inserted unescaped.
        {"body not JSON", secret, contact, R"(  {"username" : "cantina.bella","password" : "a"b"})", 400},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto client = tlsClient(sandbox_->marketplacePort());
        if (!c.contact.empty())
            client->set_default_headers({{"Aiq-User-Agent", c.contact}});
        client->set_basic_auth(brisfold::config::marketplaceClientId, c.clientSecret.c_str());
        auto res = client->Post("/alfredo/auth/token", c.body, "application/json; charset=utf-8");
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, c.status) << res->body;
    }
}

TEST_F(SandboxTest, OrdersSearchAndDetailWithTheirSkips)
{
    const std::string token = marketplaceToken();
    ASSERT_FALSE(token.empty());
    const std::string searchPath = "/alfredo/orders/search?per_page=99999&filter[date_start]=" + today(1) +
                                   "&filter[date_end]=" + today();

    auto res = marketplace(token)->Get(searchPath);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    ASSERT_EQ(res->status, 200) << res->body;
    auto doc = parse(res->body);
    ASSERT_TRUE(doc.IsObject() && doc["data"].IsArray()) << res->body;
    ASSERT_GE(doc["data"].Size(), 8u);
    int pickups = 0, unread = 0;
    std::string delivery, cancelled;
    for (const auto &order : doc["data"].GetArray()) {
        for (const char *member : {"order_id", "created_at", "is_ready", "order_is_pickup", "is_read"})
            ASSERT_TRUE(order.HasMember(member)) << member;
        EXPECT_TRUE(matchesMask(order["created_at"].GetString(), "9999-99-99 99:99:99"));
        pickups += order["order_is_pickup"].GetBool();
        unread += !order["is_read"].GetBool();
    }
    EXPECT_GE(pickups, 1);
    EXPECT_GE(unread, 1);
    for (const auto &order : sandbox_->marketplace().orders()) {
        if (order.kind == OrderKind::Delivery && delivery.empty())
            delivery = order.id;
        if (order.kind == OrderKind::CancelledOnDetail)
            cancelled = order.id;
    }
    ASSERT_FALSE(delivery.empty());
    ASSERT_FALSE(cancelled.empty());

    auto detail = marketplace(token)->Get("/alfredo/orders/" + delivery);
    ASSERT_TRUE(detail);
    ASSERT_EQ(detail->status, 200) << detail->body;
    auto d = parse(detail->body);
    ASSERT_TRUE(d.IsObject() && d["data"].IsObject()) << detail->body;
    for (const char *flag : {"is_ready", "is_pickup", "is_cancelled", "is_delivered"})
        EXPECT_FALSE(d["data"][flag].GetBool()) << flag;
    EXPECT_TRUE(d["data"]["is_read"].GetBool());
    ASSERT_TRUE(d["data"]["user"].IsObject() && d["data"]["user"]["address"].IsObject());
    for (const char *member : {"name", "surname"})
        EXPECT_TRUE(d["data"]["user"].HasMember(member)) << member;
    for (const char *member : {"street_name", "number", "complement", "reference", "city_name", "state_uf",
                               "phone", "mobile_phone", "latitude", "longitude"})
        EXPECT_TRUE(d["data"]["user"]["address"].HasMember(member)) << member;

    // Listed as open, cancelled by the time its detail is asked.
    auto gone = marketplace(token)->Get("/alfredo/orders/" + cancelled);
    ASSERT_TRUE(gone);
    EXPECT_TRUE(parse(gone->body)["data"]["is_cancelled"].GetBool());

    struct Case
    {
        const char *what;
        std::string token, path;
        int status;
    };
    const Case refusals[] = {
        {"no token", "", searchPath, 401},
        {"unknown token", "0123456789abcdef", searchPath, 401},
        {"no day range", token, "/alfredo/orders/search?per_page=99999", 422},
        {"unknown order", token, "/alfredo/orders/1", 404},
    };
    for (const auto &c : refusals) {
        SCOPED_TRACE(c.what);
        auto refused = marketplace(c.token)->Get(c.path);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, c.status) << refused->body;
    }

    auto page = tlsClient(sandbox_->marketplacePort())->Get("/pedidos");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    EXPECT_NE(page->body.find(delivery), std::string::npos);
    EXPECT_NE(page->body.find("Cancelado"), std::string::npos);
}

TEST_F(SandboxTest, FaultsOnDemandSpoilOnlyTheChosenRequests)
{
    struct Case
    {
        const char *kind;
        int status;
        bool bodyIsJson;
    };
    const Case cases[] = {{"500", 500, false}, {"401", 401, true}, {"broken-json", 200, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        auto control = tlsClient(sandbox_->courierPort());
        auto set = control->Post("/_sandbox/fault",
                                 std::string("{\"kind\":\"") + c.kind +
                                     "\",\"times\":1,\"path\":\"/api/integracao/empresa\"}",
                                 "application/json");
        ASSERT_TRUE(set);
        ASSERT_EQ(set->status, 200) << set->body;
        auto spoiled = courier()->Get("/api/integracao/empresa");
        ASSERT_TRUE(spoiled);
        EXPECT_EQ(spoiled->status, c.status);
        EXPECT_EQ(!parse(spoiled->body).HasParseError(), c.bodyIsJson) << spoiled->body;
        auto healthy = courier()->Get("/api/integracao/empresa");
        ASSERT_TRUE(healthy);
        EXPECT_EQ(healthy->status, 200) << "the fault outlived its one use";
    }

    // A slow reply on the marketplace only, for the path chosen.
    auto control = tlsClient(sandbox_->marketplacePort());
    ASSERT_EQ(control
                  ->Post("/_sandbox/fault", R"({"kind":"slow","delay_ms":400,"path":"/pedidos"})",
                         "application/json")
                  ->status,
              200);
    auto started = std::chrono::steady_clock::now();
    auto slow = control->Get("/pedidos");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
    EXPECT_EQ(courier()->Get("/api/integracao/empresa")->status, 200);
    ASSERT_EQ(control->Delete("/_sandbox/fault")->status, 200);
    started = std::chrono::steady_clock::now();
    ASSERT_TRUE(control->Get("/pedidos"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));

    // A held reply: the booking is on record while its client has given up waiting for the answer.
    std::string document = bookingDocument();
    document.replace(document.find("aiqfome 48120417"), 16, "aiqfome 48129999");
    ASSERT_EQ(
        courier()
            ->Post("/_sandbox/fault",
                   R"({"kind":"slow-reply","times":1,"delay_ms":5000,"path":"/api/integracao/abrirEntrega"})",
                   "application/json")
            ->status,
        200);
    auto impatient = courier();
    impatient->set_read_timeout(1, 0);
    auto held = impatient->Post("/api/integracao/abrirEntrega", document, "application/json; charset=UTF-8");
    EXPECT_FALSE(held) << "the reply was not held";
    auto state = courier()->Get("/_sandbox/state");
    ASSERT_TRUE(state);
    EXPECT_NE(state->body.find("aiqfome 48129999"), std::string::npos) << "the held booking is not on record";
    auto next =
        courier()->Post("/api/integracao/abrirEntrega", bookingDocument(), "application/json; charset=UTF-8");
    ASSERT_TRUE(next) << "the hold outlived its one use";
    EXPECT_EQ(next->status, 200);

    // The refusal quotes the member it names; the reply stays JSON all the same.
    auto refused = control->Post("/_sandbox/fault", R"({"kind":"sometimes"})", "application/json");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    auto reason = parse(refused->body);
    ASSERT_TRUE(reason.IsObject() && reason.HasMember("error") && reason["error"].IsString())
        << refused->body;
    EXPECT_EQ(std::string(reason["error"].GetString()).rfind("\"kind\" must be one of", 0), 0u);
}

TEST(SandboxOverTime, OrdersArriveAndTokensExpire)
{
    SandboxOptions options = buildDefaultOptions();
    options.courierPort = 0;
    options.marketplacePort = 0;
    options.initialOrders = 1;
    options.orderIntervalSeconds = 0.2;
    options.tokenLifetimeSeconds = 1;
    Sandbox sandbox(options);
    std::string error;
    ASSERT_TRUE(sandbox.start(error)) << error;
    EXPECT_GE(sandbox.marketplace().orders().size(), 1u);
    EXPECT_LT(sandbox.marketplace().orders().size(), 3u);

    auto client = tlsClient(sandbox.marketplacePort());
    client->set_default_headers({{"Aiq-User-Agent", brisfold::config::marketplaceContact}});
    client->set_basic_auth(brisfold::config::marketplaceClientId, brisfold::config::marketplaceClientSecret);
    auto res = client->Post("/alfredo/auth/token", R"({"username":"cantina.bella","password":"aiqfome123"})",
                            "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    auto doc = parse(res->body);
    EXPECT_EQ(doc["data"]["expires_in"].GetInt(), 1);
    const std::string token = doc["data"]["access_token"].GetString();

    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_GE(sandbox.marketplace().orders().size(), 5u);
    auto search = tlsClient(sandbox.marketplacePort());
    search->set_default_headers(
        {{"Aiq-User-Agent", brisfold::config::marketplaceContact}, {"Authorization", "Bearer " + token}});
    auto expired = search->Get("/alfredo/orders/search?per_page=99999&filter[date_start]=" + today(1) +
                               "&filter[date_end]=" + today());
    ASSERT_TRUE(expired);
    EXPECT_EQ(expired->status, 401);
}

} // namespace
