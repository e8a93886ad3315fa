#include "sandbox/Sandbox.h"

#include "sandbox/SandboxSupport.h"

#include <BuildConfig.h>
#include <cstdio>
#include <openssl/ssl.h>

namespace brisfold::sandbox {

namespace {

constexpr const char *brokenJson = "{\"success\":true,\"response\":{\"id\":10";

std::string serverErrorPage()
{
    return htmlPage("500 Internal Server Error",
                    "<h1>500 Internal Server Error</h1><p>The server encountered an internal error.</p>", 0);
}

// The control address's refusal: {"error":...}, the text escaped since it may quote the request.
std::string controlError(std::string_view message)
{
    JsonBuilder json;
    json.beginObject();
    json.text("error", message);
    json.endObject();
    return json.result();
}

} // namespace

int portOfUrl(const std::string &url, int fallback)
{
    auto scheme = url.find("://");
    auto hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    auto pathStart = url.find('/', hostStart);
    std::string host =
        url.substr(hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    auto colon = host.rfind(':');
    if (colon == std::string::npos || host.find(']', colon) != std::string::npos)
        return fallback;
    auto port = parseNumber(host.substr(colon + 1));
    return port && *port > 0 && *port < 65536 ? static_cast<int>(*port) : fallback;
}

SandboxOptions buildDefaultOptions()
{
    SandboxOptions options;
    options.courierPort = portOfUrl(config::courierApiUrl, 27801);
    options.marketplacePort = portOfUrl(config::marketplaceApiUrl, 27802);
    options.courierApiKey = config::courierApiKey;
    options.clientId = config::marketplaceClientId;
    options.clientSecret = config::marketplaceClientSecret;
    options.contact = config::marketplaceContact;
    return options;
}

Sandbox::Sandbox(SandboxOptions options)
    : options_(std::move(options))
    , courier_(options_.courierApiKey)
    , marketplace_([this] {
        const auto &company = courier_.companies().front();
        MarketplaceSettings settings;
        settings.clientId = options_.clientId;
        settings.clientSecret = options_.clientSecret;
        settings.contact = options_.contact;
        settings.user = demoMarketplaceUser;
        settings.password = demoMarketplacePassword;
        settings.pickupLat = *parseNumber(company.lat);
        settings.pickupLng = *parseNumber(company.lng);
        settings.city = company.cidade;
        settings.uf = company.uf;
        settings.initialOrders = options_.initialOrders;
        settings.orderIntervalSeconds = options_.orderIntervalSeconds;
        settings.tokenLifetimeSeconds = options_.tokenLifetimeSeconds;
        settings.seed = options_.seed;
        return settings;
    }())
{
    courierFaults_.set(options_.courierFault);
    marketplaceFaults_.set(options_.marketplaceFault);
}

Sandbox::~Sandbox()
{
    stop();
}

void Sandbox::log(const httplib::Request &req, const httplib::Response &res, const char *service)
{
    if (!options_.logRequests)
        return;
    std::lock_guard lock(logMutex_);
    std::printf("[%s] %s %s %s -> %d\n", localTimeText(std::time(nullptr), "%H:%M:%S").c_str(), service,
                req.method.c_str(), req.path.c_str(), res.status);
    std::fflush(stdout);
}

void Sandbox::configure(httplib::Server &server, FaultInjector &faults, bool courierSide)
{
    if (courierSide)
        courier_.install(server);
    else
        marketplace_.install(server);

    // The control address: only from this machine, never faulted itself.
    server.Post("/_sandbox/fault", [&faults](const httplib::Request &req, httplib::Response &res) {
        std::string error;
        auto spec = parseFaultSpec(req.body, error);
        if (!spec) {
            sendJson(res, 400, controlError(error));
            return;
        }
        faults.set(*spec);
        sendJson(res, 200, "{\"ok\":true}");
    });
    server.Delete("/_sandbox/fault", [&faults](const httplib::Request &, httplib::Response &res) {
        faults.clear();
        sendJson(res, 200, "{\"ok\":true}");
    });
    server.Get("/_sandbox/state", [this, courierSide](const httplib::Request &, httplib::Response &res) {
        sendJson(res, 200, courierSide ? courier_.stateJson() : marketplace_.stateJson());
    });
    if (!courierSide) {
        server.Post("/_sandbox/orders", [this](const httplib::Request &req, httplib::Response &res) {
            std::string kindName = req.has_param("kind") ? req.get_param_value("kind") : "delivery";
            auto kind = parseOrderKind(kindName);
            if (!kind) {
                sendJson(res, 400, controlError("kind must be delivery, pickup, unread or cancelled"));
                return;
            }
            JsonBuilder json;
            json.beginObject();
            json.text("order_id", marketplace_.addOrder(*kind));
            json.endObject();
            sendJson(res, 200, json.result());
        });
    }

    server.set_pre_routing_handler(
        [&faults, courierSide](const httplib::Request &req, httplib::Response &res) {
            if (req.path.rfind("/_sandbox/", 0) == 0) {
                if (isLoopback(req.remote_addr))
                    return httplib::Server::HandlerResponse::Unhandled;
                sendJson(res, 403, controlError("control address answers loopback only"));
                return httplib::Server::HandlerResponse::Handled;
            }
            int delayMs = 0;
            switch (faults.take(req.path, delayMs)) {
            case FaultKind::None:
                return httplib::Server::HandlerResponse::Unhandled;
            case FaultKind::Slow:
                faults.sleepFor(delayMs);
                return httplib::Server::HandlerResponse::Unhandled;
            case FaultKind::ServerError:
                sendHtml(res, 500, serverErrorPage());
                return httplib::Server::HandlerResponse::Handled;
            case FaultKind::Unauthorized:
                sendJson(res, 401,
                         courierSide ? CourierService::errorsBody({"Não autorizado"})
                                     : MarketplaceService::errorBody("unauthorized", "Não autorizado"));
                return httplib::Server::HandlerResponse::Handled;
            case FaultKind::BrokenJson:
                sendJson(res, 200, brokenJson);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });

    // Unknown paths get a body in the service's own shape rather than an empty 404.
    server.set_error_handler([courierSide](const httplib::Request &req, httplib::Response &res) {
        if (res.status == 404)
            sendJson(res, 404,
                     courierSide ? CourierService::errorsBody({"Recurso não encontrado: " + req.path})
                                 : MarketplaceService::errorBody("not_found", "Recurso não encontrado"));
    });
    const char *name = courierSide ? "courier    " : "marketplace";
    server.set_logger(
        [this, name](const httplib::Request &req, const httplib::Response &res) { log(req, res, name); });
    server.set_read_timeout(30);
    server.set_write_timeout(30);
}

bool Sandbox::start(std::string &error)
{
    auto listen = [this, &error](std::unique_ptr<httplib::SSLServer> &server, FaultInjector &faults,
                                 bool courierSide, int wanted, int &port, std::thread &thread) {
        server = std::make_unique<httplib::SSLServer>(options_.certFile.c_str(), options_.keyFile.c_str());
        if (!server->is_valid()) {
            error = "cannot load the certificate " + options_.certFile + " or its key " + options_.keyFile;
            return false;
        }
        // The courier client offers TLS 1.0 to 1.2, the marketplace client 1.2 only: 1.2 must stay on.
        SSL_CTX_set_min_proto_version(server->ssl_context(), TLS1_2_VERSION);
        configure(*server, faults, courierSide);
        // Without SO_REUSEPORT, which the library sets by default: a second sandbox on the same port must
        // fail rather than share the connections with the first and split the state.
        server->set_socket_options([](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        // Small replies go out at once instead of waiting for the client's delayed acknowledgement.
        server->set_tcp_nodelay(true);
        if (wanted == 0) {
            port = server->bind_to_any_port(options_.host);
        } else {
            port = server->bind_to_port(options_.host, wanted) ? wanted : -1;
        }
        if (port <= 0) {
            error = "cannot listen on " + options_.host + ":" + std::to_string(wanted);
            return false;
        }
        thread = std::thread([&server] { server->listen_after_bind(); });
        // Stopping a server that has not begun to listen would leave its thread waiting for good.
        while (!server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    };
    if (!listen(courierServer_, courierFaults_, true, options_.courierPort, courierPort_, courierThread_) ||
        !listen(marketplaceServer_, marketplaceFaults_, false, options_.marketplacePort, marketplacePort_,
                marketplaceThread_)) {
        stop();
        return false;
    }
    return true;
}

void Sandbox::stop()
{
    courierFaults_.stop();
    marketplaceFaults_.stop();
    if (courierServer_)
        courierServer_->stop();
    if (marketplaceServer_)
        marketplaceServer_->stop();
    if (courierThread_.joinable())
        courierThread_.join();
    if (marketplaceThread_.joinable())
        marketplaceThread_.join();
}

} // namespace brisfold::sandbox
