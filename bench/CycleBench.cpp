// A marketplace check importing 500 new orders, and automatic dispatch of 200, each beside a bare
// libcurl loop making the same requests to the same loopback fakes; and the longest stall of the
// UI event loop while the check runs on its worker.
#include "app/ImageCollection.h"
#include "app/MessageBoxes.h"
#include "bench/BenchSupport.h"
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "courier/Clock.h"
#include "courier/HttpClient.h"
#include "cycle/CheckRunner.h"
#include "cycle/MarketplaceCheck.h"
#include "sandbox/Sandbox.h"
#include "store/Database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <memory>
#include <string>
#include <vector>

using namespace brisfold;
using namespace brisfold::bench;

namespace {

constexpr int importedOrders = 500;
constexpr int dispatchedOrders = 200;

class SilentMessages final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &) override {}
    bool PerguntaComTempo(QWidget *, const QString &) override { return false; }
};

class QuietEvents final : public CheckEvents
{
public:
    void statusText(const QString &) override {}
    void showNotice(const QString &) override {}
    void hideNotice() override {}
    void credentialsRefused() override {}
    void paymentTypeMissing(const QString &) override {}
    bool signedIn() const override { return true; }
};

// Both fakes on free loopback ports, a database with the demo restaurant signed in to both.
struct Services
{
    explicit Services(int marketplaceOrders)
        : options(makeOptions())
        , sandbox(options)
    {
        std::string error;
        if (!sandbox.start(error)) {
            std::fprintf(stderr, "sandbox: %s\n", error.c_str());
            std::abort();
        }
        for (int i = 0; i < marketplaceOrders; ++i)
            orderIds.push_back(sandbox.marketplace().addOrder(sandbox::OrderKind::Delivery));
        execSql(folder.databasePath(),
                "INSERT INTO EMPRESA (IDMACHINE, NOME, ENDERECO, BAIRRO, CIDADE, UF, LAT, LNG, EMAIL, SENHA) "
                "VALUES ('1042', 'Cantina Bella', 'Avenida Brasil, 4120', 'Zona 01', 'Maringa', 'PR', "
                "'-23.4253', '-51.9386', 'demo@brisfold.example', 'demo1234');"
                "INSERT INTO CONFIGDELIVERY (IDORIGEM, ORIGEM, LOGIN, SENHA) VALUES "
                "(1, 'AIQFOME', 'cantina.bella', 'aiqfome123');");
        db.open(folder.databasePath());
    }

    static sandbox::SandboxOptions makeOptions()
    {
        sandbox::SandboxOptions o = sandbox::buildDefaultOptions();
        o.courierPort = 0;
        o.marketplacePort = 0;
        o.initialOrders = 0;
        o.orderIntervalSeconds = 1e9;
        return o;
    }
    std::string marketplaceUrl() const
    {
        return "https://127.0.0.1:" + std::to_string(sandbox.marketplacePort());
    }
    std::string courierUrl() const { return "https://127.0.0.1:" + std::to_string(sandbox.courierPort()); }

    MarketplaceSettings marketplaceSettings() const
    {
        MarketplaceSettings s;
        s.baseUrl = QString::fromStdString(marketplaceUrl());
        s.clientId = QString::fromStdString(options.clientId);
        s.clientSecret = QString::fromStdString(options.clientSecret);
        s.contact = QString::fromStdString(options.contact);
        return s;
    }
    CourierSettings courierSettings() const
    {
        CourierSettings s;
        s.baseUrl = QString::fromStdString(courierUrl());
        return s;
    }
    CheckInput input() const
    {
        CheckInput in;
        in.courierKey = QString::fromStdString(options.courierApiKey);
        in.dispatch = {true, QStringLiteral("60"), QStringLiteral("Pix"), QStringLiteral("Moto"),
                       QStringLiteral("Não")};
        return in;
    }

    sandbox::SandboxOptions options;
    sandbox::Sandbox sandbox;
    std::vector<std::string> orderIds;
    BenchFolder folder;
    Database db;
    SystemClock clock;
};

size_t discard(char *, size_t size, size_t count, void *body)
{
    static_cast<std::string *>(body)->append(size * count, ' ');
    return size * count;
}

size_t keep(char *data, size_t size, size_t count, void *body)
{
    static_cast<std::string *>(body)->append(data, size * count);
    return size * count;
}

// One request on a fresh handle, as the program makes them, trusting the fake's own CA.
std::string bareRequest(const std::string &url, const std::vector<std::string> &headerLines,
                        const char *postBody, const char *user, const char *password, long tlsMax,
                        bool keepBody = false)
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
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2 | tlsMax);
    curl_easy_setopt(curl, CURLOPT_CAINFO, BRISFOLD_SANDBOX_CA_FILE);
    if (user) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, user);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password);
    }
    if (postBody)
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBody ? keep : discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl) != CURLE_OK)
        body = "FAILED";
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return body;
}

std::vector<std::string> marketplaceHeaders(const Services &s)
{
    return {"Accept: application/json", "Content-Type: application/json; charset=utf-8",
            "Connection: Keep-Alive", "Aiq-User-Agent: " + s.options.contact, "Expect:"};
}

// Token, search and one detail per order: the requests of the check.
void BM_ImportBareCurl(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(importedOrders);
        const auto headers = marketplaceHeaders(*s);
        state.ResumeTiming();
        const std::string reply = bareRequest(s->marketplaceUrl() + "/alfredo/auth/token", headers,
                                              R"(  {"username" : "cantina.bella","password" : "aiqfome123"})",
                                              s->options.clientId.c_str(), s->options.clientSecret.c_str(),
                                              CURL_SSLVERSION_MAX_TLSv1_2, true);
        const auto at = reply.find("\"access_token\"");
        const auto open = reply.find('"', reply.find(':', at) + 1);
        const std::string token = reply.substr(open + 1, reply.find('"', open + 1) - open - 1);
        auto bearer = headers;
        bearer.push_back("Authorization: Bearer " + token);
        const std::string search = bareRequest(
            s->marketplaceUrl() + "/alfredo/orders/search?per_page=99999&filter%5Bdate_start%5D=2000-01-01"
                                  "&filter%5Bdate_end%5D=2100-01-01",
            bearer, nullptr, nullptr, nullptr, CURL_SSLVERSION_MAX_TLSv1_2);
        for (const std::string &id : s->orderIds)
            benchmark::DoNotOptimize(bareRequest(s->marketplaceUrl() + "/alfredo/orders/" + id, bearer,
                                                 nullptr, nullptr, nullptr, CURL_SSLVERSION_MAX_TLSv1_2));
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["requests"] = importedOrders + 2;
}
BENCHMARK(BM_ImportBareCurl)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportCheck(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(importedOrders);
        const MarketplaceCheck check(s->db, s->marketplaceSettings(), s->courierSettings(), s->clock);
        CheckInput input = s->input();
        input.dispatch.enabled = false; // the import alone
        QuietEvents events;
        state.ResumeTiming();
        check.run(input, events);
        state.PauseTiming();
        const qint64 imported = s->db.query("SELECT COUNT(*) AS N FROM PEDIDOS").integer(0, u"N");
        if (imported != importedOrders)
            state.SkipWithError(("imported " + std::to_string(imported)).c_str());
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportCheck)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DispatchBareCurl(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(0);
        const std::vector<std::string> headers = {"Content-Type: application/json; charset=UTF-8",
                                                  "Connection: Keep-Alive", "User-Agent: Brisfold",
                                                  "api-key: " + s->options.courierApiKey, "Expect:"};
        // A delivery document of the size the program posts.
        const std::string document =
            R"({"forma_pagamento":"X","empresa_id":"1042","retorno":"Não","categoria":{"nome":"Moto"},)"
            R"("data":"01/01/2030","hora":"12:00","partida":{"endereco":"Avenida Brasil, 4120","bairro":)"
            R"("Zona 01","cidade":"Maringa","estado":"PR","lat":-23.4253,"lng":-51.9386},"paradas":[{)"
            R"("nome_cliente":"Cliente","telefone_cliente":"44999990000","id_externo":"100000","endereco":)"
            R"("Rua das Flores, 100000 - Centro","lat":-23.42,"lng":-51.93}]})";
        state.ResumeTiming();
        for (int i = 0; i < dispatchedOrders; ++i)
            benchmark::DoNotOptimize(bareRequest(s->courierUrl() + "/api/integracao/abrirEntrega", headers,
                                                 document.c_str(), "demo@brisfold.example", "demo1234",
                                                 CURL_SSLVERSION_MAX_TLSv1_2));
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["requests"] = dispatchedOrders;
}
BENCHMARK(BM_DispatchBareCurl)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DispatchCheck(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(0);
        addOrders(s->folder.databasePath(), dispatchedOrders, true);
        const MarketplaceCheck check(s->db, s->marketplaceSettings(), s->courierSettings(), s->clock);
        const CheckInput input = s->input();
        QuietEvents events;
        state.ResumeTiming();
        check.AbrirEntregaAgendarAutomatico(input, events);
        state.PauseTiming();
        const qint64 booked =
            s->db.query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").integer(0, u"N");
        if (booked != dispatchedOrders)
            state.SkipWithError(("booked " + std::to_string(booked)).c_str());
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DispatchCheck)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The check (500 imports, then dispatch of all of them) on its worker while the UI thread runs
// the board's 2 s refresh and a 1 ms probe timer; reports the longest gap between probe ticks.
void BM_UiStall(benchmark::State &state)
{
    double longestMs = 0;
    for (auto _ : state) {
        Services s(importedOrders);
        SilentMessages messages;
        ImageCollection images;
        QTimer refresh;
        QWidget panel;
        auto *column = new QVBoxLayout(&panel);
        auto *countLine = new QLabel(&panel);
        column->addWidget(countLine);
        OrderBoard board(
            s.db, countLine, &refresh, [] { return true; }, [] { return true; }, messages, images, &panel);
        board.grid()->setFixedHeight(OrderGrid::visibleCards * 75);
        column->addWidget(board.grid());
        panel.resize(900, panel.sizeHint().height());
        panel.show();
        QObject::connect(&refresh, &QTimer::timeout, &board, &OrderBoard::TimerPedidosTimer);
        board.reopen();
        board.TimerPedidosTimer();
        QApplication::processEvents();

        CheckRunner runner(s.db, s.marketplaceSettings(), s.courierSettings(), s.clock);
        runner.setSignedIn(true);
        QEventLoop loop;
        QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QElapsedTimer sinceTick;
        qint64 longestNs = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestNs = std::max(longestNs, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        runner.start(s.input());
        sinceTick.start();
        probe.start();
        loop.exec();
        probe.stop();
        refresh.stop();
        longestMs = std::max(longestMs, double(longestNs) / 1e6);
        const qint64 booked =
            s.db.query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").integer(0, u"N");
        if (booked != importedOrders)
            state.SkipWithError(("booked " + std::to_string(booked)).c_str());
    }
    state.counters["longest_stall_ms"] = longestMs;
}
BENCHMARK(BM_UiStall)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    HttpClient::setExtraCaFile(QStringLiteral(BRISFOLD_SANDBOX_CA_FILE));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
