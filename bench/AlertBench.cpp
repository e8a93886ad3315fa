// The counter's alert: how long after an imported order's row is committed its sound reaches the
// device, and what the tray and one played alert cost in memory and in idle processor time. The
// sound is the platform's real ALSA one, with ALSA's default device routed to a raw file.
#include "alerts/AlertCenter.h"
#include "alerts/CounterAlerts.h"
#include "bench/BenchServices.h"
#include "cycle/CheckRunner.h"
#include "platform/AlertSound.h"
#include "platform/AlsaAlertSound.h"
#include "platform/LinuxPlatform.h"
#include "platform/WavFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <optional>
#include <sqlite3.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace brisfold;
using namespace brisfold::bench;
using Clocked = std::chrono::steady_clock;

namespace {

// ALSA's configuration for this process and its children: the "default" device writes the raw
// samples it is given into a file, through the null device, so nothing waits for a sound card.
class DefaultDeviceToFile
{
public:
    DefaultDeviceToFile()
    {
        QFile config(dir_.filePath(QStringLiteral("asound.conf")));
        if (config.open(QIODevice::WriteOnly))
            config.write("pcm.!default { type file; slave.pcm { type null }; file \"" +
                         QFile::encodeName(output()) + "\"; format \"raw\" }\n");
        qputenv("ALSA_CONFIG_PATH", QFile::encodeName(config.fileName()));
    }
    ~DefaultDeviceToFile() { qunsetenv("ALSA_CONFIG_PATH"); }
    DefaultDeviceToFile(const DefaultDeviceToFile &) = delete;
    DefaultDeviceToFile &operator=(const DefaultDeviceToFile &) = delete;

    QString output() const { return dir_.filePath(QStringLiteral("alert.raw")); }

private:
    QTemporaryDir dir_;
};

bool holdsSound(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != 0; });
}

qint64 alertBytes()
{
    const std::optional<PcmSound> sound = readPcmWav(newOrderAlertWav());
    return sound ? sound->samples.size() : 0;
}

class QuietSurface final : public AlertSurface
{
public:
    void notify(const QString &) override {}
    void setToolTip(const QString &) override {}
    void flash() override {}
};

qint64 ordersIn(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    qint64 count = -1;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM PEDIDOS", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return count;
}

// Watches, from a thread and a connection of its own, for the next order's row to be committed
// and then for the device's file to hold its first sound; the time between the two. Polled every
// quarter millisecond: finer than the budget by far, without taking a processor from the chain.
class CommitToSound
{
public:
    CommitToSound(const QString &databasePath, const QString &output)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        const qint64 before = ordersIn(db);
        watcher_ = std::thread([this, db, before, output] {
            const auto deadline = Clocked::now() + std::chrono::seconds(30);
            const auto pause = std::chrono::microseconds(250);
            while (!stop_ && ordersIn(db) <= before && Clocked::now() < deadline)
                std::this_thread::sleep_for(pause);
            const auto committed = Clocked::now();
            while (!stop_ && !holdsSound(output) && Clocked::now() < deadline)
                std::this_thread::sleep_for(pause);
            if (!stop_ && Clocked::now() < deadline)
                latency_ = Clocked::now() - committed;
            sqlite3_close(db);
        });
    }
    ~CommitToSound()
    {
        stop_ = true;
        if (watcher_.joinable())
            watcher_.join();
    }
    CommitToSound(const CommitToSound &) = delete;
    CommitToSound &operator=(const CommitToSound &) = delete;

    // Milliseconds, or nothing when the row or the sound did not come within 30 s.
    std::optional<double> wait()
    {
        watcher_.join();
        if (!latency_)
            return std::nullopt;
        return std::chrono::duration<double, std::milli>(*latency_).count();
    }

private:
    std::atomic<bool> stop_ = false;
    std::optional<Clocked::duration> latency_;
    std::thread watcher_;
};

// Each iteration a check finds one new order and imports it; the runner's orderStored reaches an
// alert center playing the real ALSA sound. From the row's commit, seen by another connection, to
// the first non-zero samples in the device's file. The first play also starts the sound's worker.
void BM_CommitToSound(benchmark::State &state)
{
    const std::unique_ptr<Fakes> fakes = Fakes::inChildProcess();
    const DefaultDeviceToFile device;
    SignedInFolder signedIn;
    CheckRunner runner(signedIn.db, fakes->marketplaceSettings(), fakes->courierSettings(), signedIn.clock);
    runner.setSignedIn(true);
    const std::unique_ptr<AlertSound> sound = LinuxPlatform().createAlertSound(newOrderAlertWav());
    auto *alsa = dynamic_cast<AlsaAlertSound *>(sound.get());
    QuietSurface surface;
    AlertCenter center(*sound, surface, signedIn.clock);
    QObject::connect(&runner, &CheckRunner::orderStored, &center, &AlertCenter::orderStored);
    CheckInput input = fakes->input();
    input.dispatch.enabled = false; // the import alone
    std::vector<double> latencies;
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) {
            fakes->addOrder();
            QFile::remove(device.output());
            CommitToSound watch(signedIn.folder.databasePath(), device.output());
            QEventLoop loop;
            QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
            if (runner.start(input))
                loop.exec();
            const std::optional<double> ms = watch.wait();
            if (!ms) {
                state.SkipWithError("no row or no sound within 30 s");
                break;
            }
            latencies.push_back(*ms);
            // The next order alerts anew, after this sound has ended.
            center.acknowledge();
            if (alsa)
                alsa->waitUntilIdle();
        }
    }
    if (latencies.empty())
        return;
    state.counters["first_ms"] = latencies.front();
    std::sort(latencies.begin(), latencies.end());
    state.counters["orders"] = double(latencies.size());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["max_ms"] = latencies.back();
}
BENCHMARK(BM_CommitToSound)->Arg(10)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- Memory and idle processor time, in two child processes side by side ----------------------

constexpr const char *childFlag = "--alert-footprint-child";

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const qsizetype length = qsizetype(std::strlen(field));
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field) && line.size() > length && line.at(length) == ':')
            return line.mid(length + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The child: a shown window with the counter's alerts (tray icon, the platform's sound) alerts
// one new order, with the sound on or off, and is acknowledged; then it stays idle. Prints its
// highest VmRSS and RssAnon over the idle time and the processor time it used then.
int footprintChild(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool soundOn = argc > 3 && std::strcmp(argv[2], "on") == 0;
    const int idleSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    const QString output = qEnvironmentVariable("BRISFOLD_BENCH_ALERT_OUTPUT");
    BenchFolder folder;
    Database db;
    db.open(folder.databasePath());
    SilentMessages messages;
    SystemClock clock;
    LinuxPlatform platform;
    QWidget window;
    window.resize(900, 600);
    window.show();
    CounterAlerts alerts(window, platform, messages, db, clock);
    alerts.center().setSoundOn(soundOn);
    runEvents(500);

    alerts.center().orderStored(StoredOrder{QStringLiteral("100001"), QStringLiteral("Cliente"), {}});
    CheckSummary summary;
    summary.marketplaceTried = summary.marketplaceConnected = true;
    summary.ordersFound = summary.ordersNew = summary.ordersStored = 1;
    alerts.center().checkEnded(summary);
    // Until the whole sound is in the file (at most 5 s), then a second for the device to close.
    QElapsedTimer waited;
    waited.start();
    const qint64 whole = alertBytes();
    while (soundOn && QFile(output).size() < whole && waited.elapsed() < 5000)
        runEvents(20);
    const bool played = !soundOn || QFile(output).size() >= whole;
    runEvents(1000);
    alerts.center().acknowledge();
    runEvents(500);

    const double processorBefore = processorMs();
    QElapsedTimer idle;
    idle.start();
    qint64 rss = 0, anon = 0;
    for (int second = 0; second < idleSeconds; ++second) {
        runEvents(1000);
        rss = std::max(rss, statusKiB("VmRSS"));
        anon = std::max(anon, statusKiB("RssAnon"));
    }
    const double processor = processorMs() - processorBefore;
    std::printf("played=%d rss_kib=%lld anon_kib=%lld processor_ms=%.3f idle_ms=%lld\n", played ? 1 : 0,
                static_cast<long long>(rss), static_cast<long long>(anon), processor,
                static_cast<long long>(idle.elapsed()));
    return 0;
}

struct ChildFigures
{
    bool ok = false;
    bool played = false;
    double rssKiB = 0, anonKiB = 0, processorMs = 0, idleMs = 0;
};

ChildFigures parseChild(QProcess &child)
{
    ChildFigures f;
    if (!child.waitForFinished(120'000) || child.exitCode() != 0)
        return f;
    for (const QByteArray &field : child.readAllStandardOutput().trimmed().split(' ')) {
        const QList<QByteArray> pair = field.split('=');
        if (pair.size() != 2)
            continue;
        const double value = pair[1].toDouble();
        if (pair[0] == "played")
            f.played = value == 1;
        else if (pair[0] == "rss_kib")
            f.rssKiB = value;
        else if (pair[0] == "anon_kib")
            f.anonKiB = value;
        else if (pair[0] == "processor_ms")
            f.processorMs = value;
        else if (pair[0] == "idle_ms") {
            f.idleMs = value;
            f.ok = value > 0;
        }
    }
    return f;
}

// The same program twice at once, one with the sound on and one with it off: the difference in
// resident memory after one alert and its acknowledgement, and each one's idle processor time
// over range(0) seconds, as a share of one core.
void BM_AlertFootprint(benchmark::State &state)
{
    const DefaultDeviceToFile device;
    ChildFigures on, off;
    for (auto _ : state) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRISFOLD_BENCH_ALERT_OUTPUT"), device.output());
        const QString seconds = QString::number(state.range(0));
        QProcess soundOn, soundOff;
        for (auto [child, mode] : {std::pair{&soundOn, "on"}, std::pair{&soundOff, "off"}}) {
            child->setProcessEnvironment(environment);
            child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child->start(QCoreApplication::applicationFilePath(),
                         {QString::fromLatin1(childFlag), QString::fromLatin1(mode), seconds});
        }
        on = parseChild(soundOn);
        off = parseChild(soundOff);
        if (!on.ok || !off.ok)
            state.SkipWithError("a child process failed");
        else if (!on.played)
            state.SkipWithError("the alert did not reach the device");
    }
    const auto share = [](const ChildFigures &f) {
        return f.idleMs > 0 ? f.processorMs / f.idleMs * 100 : 0;
    };
    state.counters["rss_on_kib"] = on.rssKiB;
    state.counters["rss_off_kib"] = off.rssKiB;
    state.counters["rss_difference_kib"] = on.rssKiB - off.rssKiB;
    state.counters["anon_difference_kib"] = on.anonKiB - off.anonKiB;
    state.counters["idle_cpu_on_percent"] = share(on);
    state.counters["idle_cpu_off_percent"] = share(off);
}
BENCHMARK(BM_AlertFootprint)->Arg(10)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], childFlag) == 0)
        return footprintChild(argc, argv);
    return runWindowedServiceBenchmarks(argc, argv);
}
