#include "bench/BenchServices.h"

#include "common/HttpClient.h"
#include "supportlog/EventLog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <functional>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brisfold::bench {

namespace {

sandbox::MarketplaceSettings marketplaceFake(const sandbox::SandboxOptions &options,
                                             const sandbox::CourierCompany &company)
{
    sandbox::MarketplaceSettings settings;
    settings.clientId = options.clientId;
    settings.clientSecret = options.clientSecret;
    settings.contact = options.contact;
    settings.user = sandbox::demoMarketplaceUser;
    settings.password = sandbox::demoMarketplacePassword;
    settings.pickupLat = std::stod(company.lat);
    settings.pickupLng = std::stod(company.lng);
    settings.city = company.cidade;
    settings.uf = company.uf;
    settings.initialOrders = 0;
    settings.orderIntervalSeconds = 0; // orders come only from addOrder()
    return settings;
}

// Serves `install`'s routes on a free loopback port; returns the port.
int serve(std::unique_ptr<httplib::SSLServer> &server, std::thread &thread,
          const std::function<void(httplib::Server &)> &install)
{
    server = std::make_unique<httplib::SSLServer>(BRISFOLD_SANDBOX_CERT_FILE, BRISFOLD_SANDBOX_KEY_FILE);
    if (!server->is_valid()) {
        std::fprintf(stderr, "cannot load the sandbox certificate\n");
        std::abort();
    }
    server->set_tcp_nodelay(true);
    install(*server);
    const int port = server->bind_to_any_port("127.0.0.1");
    if (port <= 0)
        std::abort();
    thread = std::thread([&server] { server->listen_after_bind(); });
    while (!server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port;
}

int portOf(const std::string &url)
{
    return std::stoi(url.substr(url.rfind(':') + 1));
}

size_t countOnly(char *, size_t size, size_t count, void *body)
{
    static_cast<std::string *>(body)->append(size * count, ' ');
    return size * count;
}

size_t keep(char *data, size_t size, size_t count, void *body)
{
    static_cast<std::string *>(body)->append(data, size * count);
    return size * count;
}

} // namespace

Fakes::Fakes()
    : options_(sandbox::buildDefaultOptions())
    , courier_(options_.courierApiKey)
    , marketplace_(marketplaceFake(options_, courier_.companies().front()))
{
    start();
}

Fakes::Fakes(Child, int courierPort, int marketplacePort, int pid)
    : options_(sandbox::buildDefaultOptions())
    , courier_(options_.courierApiKey)
    , marketplace_(marketplaceFake(options_, courier_.companies().front()))
    , courierUrl_("https://127.0.0.1:" + std::to_string(courierPort))
    , marketplaceUrl_("https://127.0.0.1:" + std::to_string(marketplacePort))
    , childPid_(pid)
{}

std::unique_ptr<Fakes> Fakes::inChildProcess(std::chrono::milliseconds courierDelay)
{
    int ports[2];
    if (pipe(ports) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid < 0)
        std::abort();
    if (pid == 0) {
        // Never outlives the benchmark, even one that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(ports[0]);
        Fakes fakes;
        // Orders are added through the marketplace port, since the parent cannot reach this object;
        // the route goes in before anyone knows the port.
        fakes.marketplaceServer_->Post("/_bench/orders",
                                       [&fakes](const httplib::Request &, httplib::Response &res) {
                                           res.set_content(fakes.addOrder(), "text/plain");
                                       });
        if (courierDelay.count() > 0)
            fakes.courierServer_->set_pre_routing_handler(
                [courierDelay](const httplib::Request &, httplib::Response &) {
                    std::this_thread::sleep_for(courierDelay);
                    return httplib::Server::HandlerResponse::Unhandled;
                });
        const int both[2] = {portOf(fakes.courierUrl_), portOf(fakes.marketplaceUrl_)};
        if (write(ports[1], both, sizeof both) != sizeof both)
            _exit(1);
        close(ports[1]);
        // Serves until the parent ends it.
        for (;;)
            pause();
    }
    close(ports[1]);
    int both[2] = {0, 0};
    if (read(ports[0], both, sizeof both) != sizeof both) {
        std::fprintf(stderr, "the fakes' process did not start\n");
        std::abort();
    }
    close(ports[0]);
    return std::unique_ptr<Fakes>(new Fakes(Child{}, both[0], both[1], pid));
}

void Fakes::start()
{
    const int courierPort =
        serve(courierServer_, courierThread_, [this](httplib::Server &server) { courier_.install(server); });
    const int marketplacePort = serve(marketplaceServer_, marketplaceThread_,
                                      [this](httplib::Server &server) { marketplace_.install(server); });
    courierUrl_ = "https://127.0.0.1:" + std::to_string(courierPort);
    marketplaceUrl_ = "https://127.0.0.1:" + std::to_string(marketplacePort);
}

Fakes::~Fakes()
{
    if (childPid_ != 0) {
        kill(childPid_, SIGKILL);
        waitpid(childPid_, nullptr, 0);
        return;
    }
    courierServer_->stop();
    marketplaceServer_->stop();
    courierThread_.join();
    marketplaceThread_.join();
}

std::string Fakes::addOrder()
{
    if (childPid_ == 0)
        return marketplace_.addOrder(sandbox::OrderKind::Delivery);
    const std::string id = bareRequest(marketplaceUrl_ + "/_bench/orders", {}, "", nullptr, nullptr, true);
    if (id.empty() || id == "FAILED") {
        std::fprintf(stderr, "the fakes did not add an order\n");
        std::abort();
    }
    return id;
}

MarketplaceSettings Fakes::marketplaceSettings() const
{
    MarketplaceSettings s;
    s.baseUrl = QString::fromStdString(marketplaceUrl_);
    s.clientId = QString::fromStdString(options_.clientId);
    s.clientSecret = QString::fromStdString(options_.clientSecret);
    s.contact = QString::fromStdString(options_.contact);
    return s;
}

CourierSettings Fakes::courierSettings() const
{
    CourierSettings s;
    s.baseUrl = QString::fromStdString(courierUrl_);
    return s;
}

CheckInput Fakes::input() const
{
    CheckInput in;
    in.courierKey = QString::fromStdString(options_.courierApiKey);
    in.dispatch = {true, QStringLiteral("60"), QStringLiteral("Pix"), QStringLiteral("Moto"),
                   QStringLiteral("Não")};
    return in;
}

SignedInFolder::SignedInFolder()
{
    execSql(folder.databasePath(),
            "INSERT INTO EMPRESA (IDMACHINE, NOME, ENDERECO, BAIRRO, CIDADE, UF, LAT, LNG, EMAIL, SENHA) "
            "VALUES ('1042', 'Cantina Bella', 'Avenida Brasil, 4120', 'Zona 01', 'Maringa', 'PR', "
            "'-23.4253', '-51.9386', 'demo@brisfold.example', 'demo1234');"
            "INSERT INTO CONFIGDELIVERY (IDORIGEM, ORIGEM, LOGIN, SENHA) VALUES "
            "(1, 'AIQFOME', 'cantina.bella', 'aiqfome123');");
    db.open(folder.databasePath());
}

std::string bareRequest(const std::string &url, const std::vector<std::string> &headerLines,
                        const char *postBody, const char *user, const char *password, bool keepBody)
{
    CURL *curl = curl_easy_init();
    curl_slist *headers = nullptr;
    for (const std::string &h : headerLines)
        headers = curl_slist_append(headers, h.c_str());
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_SSLVERSION,
                     long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
    curl_easy_setopt(curl, CURLOPT_CAINFO, BRISFOLD_SANDBOX_CA_FILE);
    if (user) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, user);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password);
    }
    if (postBody)
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBody ? keep : countOnly);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl) != CURLE_OK)
        body = "FAILED";
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return body;
}

LogOn::LogOn()
{
    if (!enabled())
        return;
    log_ = std::make_unique<SupportLog>(dir_.filePath(QStringLiteral("log")), clock_,
                                        [this](const QString &) { failed_ = true; });
    eventlog::install(log_.get());
}

LogOn::~LogOn()
{
    if (log_)
        eventlog::install(nullptr);
}

bool LogOn::enabled()
{
    return qEnvironmentVariable("BRISFOLD_BENCH_LOG") != QStringLiteral("off");
}

qint64 LogOn::lines()
{
    if (!log_)
        return 0;
    log_->flush();
    qint64 count = 0;
    const QDir folder(dir_.filePath(QStringLiteral("log")));
    for (const QString &name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            count += file.readAll().count('\n');
    }
    return count;
}

int runWindowedServiceBenchmarks(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    HttpClient::setExtraCaFile(QStringLiteral(BRISFOLD_SANDBOX_CA_FILE));
    return runBenchmarks(argc, argv);
}

} // namespace brisfold::bench
