// A marketplace check importing 500 new orders, and automatic dispatch of 200, each beside a bare
// libcurl loop making the same requests to the same loopback fakes; and the longest stall of the
// UI event loop while the check runs on its worker, with the fakes in a child process. The
// program's side runs with the support log on, as in the program; the bare loops have none.
#include "bench/BenchServices.h"
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "common/HttpClient.h"
#include "cycle/CheckRunner.h"
#include "cycle/MarketplaceCheck.h"
#include "ui/ImageCollection.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
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

// The figures' sizes; the brief run of the test command uses a handful of orders instead.
constexpr int importedOrders = 500;
constexpr int dispatchedOrders = 200;
constexpr int briefOrders = 5;

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

// The fakes in this process with `marketplaceOrders` waiting, and a database signed in to both.
struct Services
{
    explicit Services(int marketplaceOrders)
    {
        for (int i = 0; i < marketplaceOrders; ++i)
            orderIds.push_back(fakes.addOrder());
    }

    Fakes fakes;
    std::vector<std::string> orderIds;
    SignedInFolder signedIn;
    Database &db = signedIn.db;
};

// A running program has done its first check before the one measured: by then OpenSSL, libcurl
// and ICU have built their process-wide state (ICU's transliterator registry alone takes some
// 40 ms). One small check warms the process before the first timed side, program or bare.
void warmUp()
{
    static const bool warm = [] {
        Services s(briefOrders);
        const MarketplaceCheck check(s.db, s.fakes.marketplaceSettings(), s.fakes.courierSettings(),
                                     s.signedIn.clock);
        CheckInput input = s.fakes.input();
        input.dispatch.enabled = false;
        QuietEvents events;
        check.run(input, events);
        return true;
    }();
    benchmark::DoNotOptimize(warm);
}

// A log that stopped writing would make the run cheaper than the program's.
void checkLog(benchmark::State &state, const LogOn &log)
{
    if (log.failed())
        state.SkipWithError("the support log stopped writing");
}

std::vector<std::string> marketplaceHeaders(const Fakes &fakes)
{
    return {"Accept: application/json", "Content-Type: application/json; charset=utf-8",
            "Connection: Keep-Alive", "Aiq-User-Agent: " + fakes.options().contact, "Expect:"};
}

// Token, search and one detail per order: the requests of the check.
void BM_ImportBareCurl(benchmark::State &state)
{
    warmUp();
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(int(state.range(0)));
        const Fakes &f = s->fakes;
        const auto headers = marketplaceHeaders(f);
        state.ResumeTiming();
        const std::string reply =
            bareRequest(f.marketplaceUrl() + "/alfredo/auth/token", headers,
                        R"(  {"username" : "cantina.bella","password" : "aiqfome123"})",
                        f.options().clientId.c_str(), f.options().clientSecret.c_str(), true);
        const auto at = reply.find("\"access_token\"");
        const auto open = reply.find('"', reply.find(':', at) + 1);
        const std::string token = reply.substr(open + 1, reply.find('"', open + 1) - open - 1);
        auto bearer = headers;
        bearer.push_back("Authorization: Bearer " + token);
        benchmark::DoNotOptimize(bareRequest(f.marketplaceUrl() + "/alfredo/orders/search?per_page=99999"
                                                                  "&filter%5Bdate_start%5D=2000-01-01"
                                                                  "&filter%5Bdate_end%5D=2100-01-01",
                                             bearer));
        for (const std::string &id : s->orderIds)
            benchmark::DoNotOptimize(bareRequest(f.marketplaceUrl() + "/alfredo/orders/" + id, bearer));
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["requests"] = double(state.range(0) + 2);
}
BENCHMARK(BM_ImportBareCurl)
    ->Arg(importedOrders)
    ->Arg(briefOrders)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ImportCheck(benchmark::State &state)
{
    warmUp();
    qint64 logLines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(int(state.range(0)));
        const MarketplaceCheck check(s->db, s->fakes.marketplaceSettings(), s->fakes.courierSettings(),
                                     s->signedIn.clock);
        CheckInput input = s->fakes.input();
        input.dispatch.enabled = false; // the import alone
        QuietEvents events;
        auto log = std::make_unique<LogOn>();
        state.ResumeTiming();
        check.run(input, events);
        state.PauseTiming();
        const qint64 imported = s->db.query("SELECT COUNT(*) AS N FROM PEDIDOS").integer(0, u"N");
        if (imported != state.range(0))
            state.SkipWithError(("imported " + std::to_string(imported)).c_str());
        logLines = log->lines();
        checkLog(state, *log);
        log.reset();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["log_lines"] = double(logLines);
}
BENCHMARK(BM_ImportCheck)
    ->Arg(importedOrders)
    ->Arg(briefOrders)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DispatchBareCurl(benchmark::State &state)
{
    warmUp();
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(0);
        const Fakes &f = s->fakes;
        const std::vector<std::string> headers = {"Content-Type: application/json; charset=UTF-8",
                                                  "Connection: Keep-Alive", "User-Agent: Brisfold",
                                                  "api-key: " + f.options().courierApiKey, "Expect:"};
        // A delivery document of the size the program posts.
        const std::string document =
            R"({"forma_pagamento":"X","empresa_id":"1042","retorno":"Não","categoria":{"nome":"Moto"},)"
            R"("data":"01/01/2030","hora":"12:00","partida":{"endereco":"Avenida Brasil, 4120","bairro":)"
            R"("Zona 01","cidade":"Maringa","estado":"PR","lat":-23.4253,"lng":-51.9386},"paradas":[{)"
            R"("nome_cliente":"Cliente","telefone_cliente":"44999990000","id_externo":"100000","endereco":)"
            R"("Rua das Flores, 100000 - Centro","lat":-23.42,"lng":-51.93}]})";
        state.ResumeTiming();
        for (int i = 0; i < state.range(0); ++i)
            benchmark::DoNotOptimize(bareRequest(f.courierUrl() + "/api/integracao/abrirEntrega", headers,
                                                 document.c_str(), "demo@brisfold.example", "demo1234"));
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["requests"] = double(state.range(0));
}
BENCHMARK(BM_DispatchBareCurl)
    ->Arg(dispatchedOrders)
    ->Arg(briefOrders)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DispatchCheck(benchmark::State &state)
{
    warmUp();
    qint64 logLines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Services>(0);
        addOrders(s->signedIn.folder.databasePath(), int(state.range(0)), true);
        const MarketplaceCheck check(s->db, s->fakes.marketplaceSettings(), s->fakes.courierSettings(),
                                     s->signedIn.clock);
        const CheckInput input = s->fakes.input();
        QuietEvents events;
        auto log = std::make_unique<LogOn>();
        state.ResumeTiming();
        check.AbrirEntregaAgendarAutomatico(input, events);
        state.PauseTiming();
        const qint64 booked =
            s->db.query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").integer(0, u"N");
        if (booked != state.range(0))
            state.SkipWithError(("booked " + std::to_string(booked)).c_str());
        logLines = log->lines();
        checkLog(state, *log);
        log.reset();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["log_lines"] = double(logLines);
}
BENCHMARK(BM_DispatchCheck)
    ->Arg(dispatchedOrders)
    ->Arg(briefOrders)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The board as the main window lays it out, shown and refreshed once; it refreshes itself from
// then on.
struct ShownBoard
{
    ShownBoard(Database &db, MessageBoxes &messages, const ImageCollection &images)
        : countLine(new QLabel(&panel))
        , board(
              db, countLine, [] { return true; }, [] { return true; }, messages, images, &panel)
    {
        auto *column = new QVBoxLayout(&panel);
        column->addWidget(countLine);
        board.grid()->setFixedHeight(OrderGrid::visibleCards * 75);
        column->addWidget(board.grid());
        panel.resize(900, panel.sizeHint().height());
        panel.show();
        board.reopen();
        board.TimerPedidosTimer();
        QApplication::processEvents();
    }
    ~ShownBoard() { board.pause(); }
    ShownBoard(const ShownBoard &) = delete;
    ShownBoard &operator=(const ShownBoard &) = delete;

    QWidget panel;
    QLabel *countLine;
    OrderBoard board;
};

// Time this thread spent runnable but waiting for a processor, from the scheduler's own count
// (0 where the kernel does not keep it). On a shared machine that wait is the other programs',
// not this one's.
qint64 runQueueWaitNs()
{
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

// The check (500 imports, then dispatch of all of them) on its worker while the UI thread runs
// the board's 2 s refresh and a 1 ms probe timer. The fakes serve from a child process, so that
// only the program's own threads take the processors here, and the board reads through a
// read-only connection of its own, as the window's does. Reports the longest gap between probe
// ticks, and the longest once the time the UI thread only waited for a processor is taken out of
// it. bench/run.sh runs it a second time with every disk sync slowed (bench/SlowSync.c).
void BM_UiStall(benchmark::State &state)
{
    warmUp();
    double longestMs = 0, longestOwnMs = 0, checkMs = 0;
    qint64 logLines = 0;
    for (auto _ : state) {
        const std::unique_ptr<Fakes> fakes = Fakes::inChildProcess();
        for (int i = 0; i < state.range(0); ++i)
            fakes->addOrder();
        // After the fakes' child process: the log starts a writer thread.
        LogOn log;
        SignedInFolder signedIn;
        Database boardDb;
        QString error;
        if (!boardDb.openReadOnly(signedIn.folder.databasePath(), &error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        SilentMessages messages;
        ImageCollection images;
        {
            // A running program's board has shown cards before: their pictures drawn, their
            // fonts loaded.
            BenchFolder earlier;
            addOrders(earlier.databasePath(), OrderGrid::visibleCards);
            Database earlierDb;
            earlierDb.openReadOnly(earlier.databasePath());
            const ShownBoard warm(earlierDb, messages, images);
        }
        const ShownBoard shown(boardDb, messages, images);

        CheckRunner runner(signedIn.db, fakes->marketplaceSettings(), fakes->courierSettings(),
                           signedIn.clock);
        runner.setSignedIn(true);
        QEventLoop loop;
        QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QElapsedTimer sinceTick, check;
        qint64 waitedAtTick = 0, longestNs = 0, longestOwnNs = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 gap = sinceTick.nsecsElapsed();
            const qint64 waited = runQueueWaitNs();
            longestNs = std::max(longestNs, gap);
            longestOwnNs = std::max(longestOwnNs, gap - (waited - waitedAtTick));
            sinceTick.restart();
            waitedAtTick = waited;
        });
        check.start();
        runner.start(fakes->input());
        sinceTick.start();
        waitedAtTick = runQueueWaitNs();
        probe.start();
        loop.exec();
        probe.stop();
        checkMs = std::max(checkMs, double(check.nsecsElapsed()) / 1e6);
        longestMs = std::max(longestMs, double(longestNs) / 1e6);
        longestOwnMs = std::max(longestOwnMs, double(longestOwnNs) / 1e6);
        const qint64 booked =
            signedIn.db.query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").integer(0, u"N");
        if (booked != state.range(0))
            state.SkipWithError(("booked " + std::to_string(booked)).c_str());
        logLines = log.lines();
        checkLog(state, log);
    }
    state.counters["longest_stall_ms"] = longestMs;
    state.counters["log_lines"] = double(logLines);
    state.counters["longest_own_stall_ms"] = longestOwnMs;
    state.counters["check_ms"] = checkMs;
}
BENCHMARK(BM_UiStall)
    ->Arg(importedOrders)
    ->Arg(briefOrders)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runWindowedServiceBenchmarks(argc, argv);
}
