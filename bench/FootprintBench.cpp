// Resident memory over a long run of marketplace checks, each on its own worker thread as the
// main window runs them, against the loopback fakes: every tenth check finds one new order,
// imports it and books a courier for it. The fakes run in a child process: their threads and the
// orders and bookings they keep are not the program's memory.
#include "bench/BenchServices.h"
#include "common/HttpClient.h"
#include "cycle/CheckRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <benchmark/benchmark.h>
#include <curl/curl.h>

using namespace brisfold;
using namespace brisfold::bench;

namespace {

constexpr int ordersAtStart = 20;
constexpr int checksPerNewOrder = 10;
// Enough for the first orders to be booked, the connection pools and caches to fill.
constexpr int warmUpChecks = 20;

// VmRSS of this process in KiB, -1 where there is no /proc.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void runCheck(CheckRunner &runner, const CheckInput &input)
{
    QEventLoop loop;
    QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
    if (runner.start(input))
        loop.exec();
}

void BM_CheckMemory(benchmark::State &state)
{
    const int checks = int(state.range(0));
    qint64 before = 0, after = 0;
    for (auto _ : state) {
        const std::unique_ptr<Fakes> fakes = Fakes::inChildProcess();
        SignedInFolder signedIn;
        CheckRunner runner(signedIn.db, fakes->marketplaceSettings(), fakes->courierSettings(),
                           signedIn.clock);
        runner.setSignedIn(true);
        const CheckInput input = fakes->input();
        int added = 0;
        for (; added < ordersAtStart; ++added)
            fakes->addOrder();
        for (int i = 0; i < warmUpChecks; ++i)
            runCheck(runner, input);
        before = residentKiB();
        for (int i = 0; i < checks; ++i) {
            if (i % checksPerNewOrder == 0) {
                fakes->addOrder();
                ++added;
            }
            runCheck(runner, input);
        }
        after = residentKiB();
        // Every order must have gone the whole way, or the run measured failures.
        const qint64 booked =
            signedIn.db.query("SELECT COUNT(*) AS N FROM PEDIDOS WHERE ID_MCH = 'MACHINE'").integer(0, u"N");
        if (booked != added)
            state.SkipWithError(
                ("booked " + std::to_string(booked) + " of " + std::to_string(added)).c_str());
    }
    state.counters["checks"] = checks;
    state.counters["rss_before_kib"] = double(before);
    state.counters["rss_after_kib"] = double(after);
    state.counters["rss_growth_kib"] = double(after - before);
}
// The short run serves the leak check under valgrind and the brief run of the test command.
BENCHMARK(BM_CheckMemory)->Arg(1000)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    HttpClient::setExtraCaFile(QStringLiteral(BRISFOLD_SANDBOX_CA_FILE));
    const int result = runBenchmarks(argc, argv);
    curl_global_cleanup();
    return result;
}
