// The two stand-in services on their loopback HTTPS ports, with the control address on each.
#pragma once

#include "sandbox/CourierService.h"
#include "sandbox/Faults.h"
#include "sandbox/MarketplaceService.h"

#include <httplib.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace brisfold::sandbox {

// The demo restaurant's marketplace sign-in.
inline constexpr const char *demoMarketplaceUser = "cantina.bella";
inline constexpr const char *demoMarketplacePassword = "aiqfome123";

struct SandboxOptions
{
    std::string host = "127.0.0.1";
    int courierPort = 0; // 0 = any free port
    int marketplacePort = 0;
    std::string certFile = BRISFOLD_SANDBOX_CERT_FILE;
    std::string keyFile = BRISFOLD_SANDBOX_KEY_FILE;
    std::string courierApiKey;
    std::string clientId, clientSecret, contact;
    int initialOrders = 1;
    double orderIntervalSeconds = 60;
    int tokenLifetimeSeconds = 3600;
    unsigned seed = 1;
    FaultSpec courierFault, marketplaceFault;
    bool logRequests = false;
};

// Ports taken from the build's service addresses ("https://host:port"), or the fallback.
int portOfUrl(const std::string &url, int fallback);

// Options with the build's key, integrator credentials and ports.
SandboxOptions buildDefaultOptions();

class Sandbox
{
public:
    explicit Sandbox(SandboxOptions options);
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    bool start(std::string &error);
    void stop();

    int courierPort() const { return courierPort_; }
    int marketplacePort() const { return marketplacePort_; }
    CourierService &courier() { return courier_; }
    MarketplaceService &marketplace() { return marketplace_; }
    FaultInjector &courierFaults() { return courierFaults_; }
    FaultInjector &marketplaceFaults() { return marketplaceFaults_; }

private:
    void configure(httplib::Server &server, FaultInjector &faults, bool courierSide);
    void log(const httplib::Request &req, const httplib::Response &res, const char *service);

    SandboxOptions options_;
    CourierService courier_;
    MarketplaceService marketplace_;
    FaultInjector courierFaults_, marketplaceFaults_;
    std::unique_ptr<httplib::SSLServer> courierServer_, marketplaceServer_;
    std::thread courierThread_, marketplaceThread_;
    int courierPort_ = 0, marketplacePort_ = 0;
    std::mutex logMutex_;
};

} // namespace brisfold::sandbox
