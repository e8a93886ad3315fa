// brisfold-sandbox: the courier platform and the marketplace on loopback HTTPS, for the demo and the tests.
#include "sandbox/Sandbox.h"

#include <BuildConfig.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <pthread.h>
#include <string>

using namespace brisfold::sandbox;

namespace {

void usage()
{
    std::cout << "Usage: brisfold-sandbox [options]\n"
                 "  --courier-port N        courier platform port (default from the build, 27801)\n"
                 "  --marketplace-port N    marketplace port (default from the build, 27802)\n"
                 "  --host ADDRESS          address to listen on (default 127.0.0.1)\n"
                 "  --cert FILE --key FILE  server certificate and key (default: the ones the build made)\n"
                 "  --initial-orders N      orders present at start (default 1)\n"
                 "  --order-interval S      seconds between new orders, 0 for none (default 60)\n"
                 "  --token-lifetime S      marketplace token lifetime in seconds (default 3600)\n"
                 "  --seed N                seed of the generated customers (default: the time)\n"
                 "  --courier-fault KIND    fault every courier request: slow, 500, 401, broken-json\n"
                 "  --marketplace-fault KIND  the same for the marketplace\n"
                 "  --fault-delay MS        delay of the slow fault (default 15000)\n"
                 "  --quiet                 do not print one line per request\n";
}

bool number(const char *text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    SandboxOptions options = buildDefaultOptions();
    options.seed = static_cast<unsigned>(std::time(nullptr));
    options.logRequests = true;
    std::string courierFault, marketplaceFault;
    int faultDelay = 15000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        }
        if (arg == "--quiet") {
            options.logRequests = false;
            continue;
        }
        if (i + 1 >= argc) {
            std::cerr << "brisfold-sandbox: " << arg << " needs a value (or is unknown)\n";
            usage();
            return 2;
        }
        const char *value = argv[++i];
        double n = 0;
        bool isNumber = number(value, n);
        if (arg == "--courier-port" && isNumber && n < 65536)
            options.courierPort = static_cast<int>(n);
        else if (arg == "--marketplace-port" && isNumber && n < 65536)
            options.marketplacePort = static_cast<int>(n);
        else if (arg == "--host")
            options.host = value;
        else if (arg == "--cert")
            options.certFile = value;
        else if (arg == "--key")
            options.keyFile = value;
        else if (arg == "--initial-orders" && isNumber)
            options.initialOrders = static_cast<int>(n);
        else if (arg == "--order-interval" && isNumber)
            options.orderIntervalSeconds = n;
        else if (arg == "--token-lifetime" && isNumber && n >= 1)
            options.tokenLifetimeSeconds = static_cast<int>(n);
        else if (arg == "--seed" && isNumber)
            options.seed = static_cast<unsigned>(n);
        else if (arg == "--fault-delay" && isNumber)
            faultDelay = static_cast<int>(n);
        else if (arg == "--courier-fault" && parseFaultKind(value))
            courierFault = value;
        else if (arg == "--marketplace-fault" && parseFaultKind(value))
            marketplaceFault = value;
        else {
            std::cerr << "brisfold-sandbox: bad option " << arg << " " << value << "\n";
            usage();
            return 2;
        }
    }
    if (!courierFault.empty())
        options.courierFault = FaultSpec{*parseFaultKind(courierFault), -1, faultDelay, {}};
    if (!marketplaceFault.empty())
        options.marketplaceFault = FaultSpec{*parseFaultKind(marketplaceFault), -1, faultDelay, {}};

    // Signals go to this thread alone, which waits for them; the server threads inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Sandbox sandbox(options);
    std::string error;
    if (!sandbox.start(error)) {
        std::cerr << "brisfold-sandbox: " << error << "\n";
        return 1;
    }
    const auto &company = sandbox.courier().companies().front();
    const auto &inactive = sandbox.courier().companies().back();
    std::cout << "brisfold-sandbox is running.\n"
              << "  Trevant courier platform: https://" << options.host << ":" << sandbox.courierPort()
              << "  (management page /solicitacao/gestaoPedido)\n"
              << "  aiqfome marketplace:      https://" << options.host << ":" << sandbox.marketplacePort()
              << "  (order page /pedidos)\n"
              << "  CA certificate to trust:  " << BRISFOLD_SANDBOX_CA_FILE << "\n\n"
              << "Sign in to Brisfold with\n"
              << "  e-mail:   " << company.email << "\n"
              << "  password: " << company.password << "\n"
              << "Marketplace credentials (aiqfome) to save in Brisfold\n"
              << "  user:     " << demoMarketplaceUser << "\n"
              << "  password: " << demoMarketplacePassword << "\n"
              << "An inactive company, refused at sign-in: " << inactive.email << " / " << inactive.password
              << "\n\n"
              << (options.orderIntervalSeconds > 0
                      ? "New orders every " + std::to_string(static_cast<int>(options.orderIntervalSeconds)) +
                            " s."
                      : std::string("No new orders after the first."))
              << " Faults: POST /_sandbox/fault "
              << "{\"kind\":\"slow|500|401|broken-json\",\"times\":1,\"path\":\"/alfredo\"} on either port; "
              << "DELETE /_sandbox/fault clears. Ctrl+C stops.\n"
              << std::flush;

    int received = 0;
    sigwait(&signals, &received);
    std::cout << "brisfold-sandbox: " << (received == SIGINT ? "SIGINT" : "SIGTERM") << ", stopping.\n"
              << std::flush;
    sandbox.stop();
    return 0;
}
