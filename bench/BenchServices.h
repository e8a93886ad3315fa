// The loopback fakes the cycle benchmarks talk to, and a database signed in to both of them.
#pragma once

#include "bench/BenchSupport.h"
#include "common/Clock.h"
#include "courier/CourierClient.h"
#include "cycle/MarketplaceCheck.h"
#include "marketplace/MarketplaceClient.h"
#include "sandbox/CourierService.h"
#include "sandbox/MarketplaceService.h"
#include "sandbox/Sandbox.h"
#include "store/Database.h"
#include "supportlog/SupportLog.h"

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <httplib.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace brisfold::bench {

// The courier platform's and the marketplace's fakes on free loopback ports in this process:
// the sandbox's two services behind servers of our own, which send each reply at once. (The
// library leaves Nagle's algorithm on, so a reply written in two parts waits for the client's
// delayed acknowledgement: 40 ms a request that no real service adds, and that would hide the
// client's own cost.)
class Fakes final
{
public:
    Fakes();
    ~Fakes();
    // The same fakes served by a child process, so that their own memory and threads stay out of
    // this process's figures. Call before this process starts any thread of its own. The courier
    // platform answers each request `courierDelay` late, as a slow one would.
    static std::unique_ptr<Fakes> inChildProcess(std::chrono::milliseconds courierDelay = {});
    Fakes(const Fakes &) = delete;
    Fakes &operator=(const Fakes &) = delete;

    const std::string &courierUrl() const { return courierUrl_; }
    const std::string &marketplaceUrl() const { return marketplaceUrl_; }
    const sandbox::SandboxOptions &options() const { return options_; }

    // A delivery order, new now, in the marketplace; returns its id.
    std::string addOrder();

    MarketplaceSettings marketplaceSettings() const;
    CourierSettings courierSettings() const;
    // Automatic dispatch on, with the demo restaurant's payment type and category.
    CheckInput input() const;

private:
    struct Child
    {
    };
    Fakes(Child, int courierPort, int marketplacePort, int pid);
    void start();

    sandbox::SandboxOptions options_;
    sandbox::CourierService courier_;
    sandbox::MarketplaceService marketplace_;
    std::unique_ptr<httplib::SSLServer> courierServer_, marketplaceServer_;
    std::thread courierThread_, marketplaceThread_;
    std::string courierUrl_, marketplaceUrl_;
    int childPid_ = 0;
};

// A program folder whose database holds the demo restaurant, signed in on the courier platform
// and with its marketplace credentials, and the one connection to it.
struct SignedInFolder
{
    SignedInFolder();

    BenchFolder folder;
    Database db;
    SystemClock clock;
};

// The support log on for a benchmark's run, as in the program: daily files in a folder of its own,
// installed for every line the code under test writes, until destroyed. BRISFOLD_BENCH_LOG=off
// leaves it off, to show what the log itself costs.
class LogOn final
{
public:
    LogOn();
    ~LogOn();
    LogOn(const LogOn &) = delete;
    LogOn &operator=(const LogOn &) = delete;

    static bool enabled();
    // Lines in the log's files once everything queued is written; 0 when off.
    qint64 lines();
    bool failed() const { return failed_; }

private:
    QTemporaryDir dir_;
    SystemClock clock_;
    std::atomic<bool> failed_ = false;
    std::unique_ptr<SupportLog> log_;
};

// The main of a benchmark program that talks to the fakes with windows on the offscreen
// platform: trusts the sandbox's CA and runs the benchmarks.
int runWindowedServiceBenchmarks(int argc, char **argv);

// One request on a fresh curl handle, as the program makes them, trusting the sandbox's CA;
// returns the reply body, or "FAILED".
std::string bareRequest(const std::string &url, const std::vector<std::string> &headerLines,
                        const char *postBody = nullptr, const char *user = nullptr,
                        const char *password = nullptr, bool keepBody = false);

} // namespace brisfold::bench
