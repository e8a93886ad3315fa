// Stand-in for the marketplace's integrator API and its order page.
#pragma once

#include <chrono>
#include <httplib.h>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace brisfold::sandbox {

enum class OrderKind
{
    Delivery,
    Pickup,
    Unread,
    CancelledOnDetail, // to be delivered, but cancelled when its detail is first asked
};

std::optional<OrderKind> parseOrderKind(std::string_view name);
std::string_view orderKindName(OrderKind kind);

struct MarketplaceOrder
{
    std::string id;
    OrderKind kind;
    std::time_t createdAt;
    bool cancelled = false;
    int detailRequests = 0;
    std::string name, surname, email;
    std::string street, number, neighborhood, reference, zip, phone, mobilePhone;
    std::optional<std::string> complement; // null in the reply when absent
    std::string lat, lng;
    std::string total, paymentName;
};

struct MarketplaceSettings
{
    std::string clientId, clientSecret, contact;
    std::string user, password; // the demo restaurant
    double pickupLat = -23.4253, pickupLng = -51.9386;
    std::string city = "Maringá", uf = "PR";
    int initialOrders = 1;
    double orderIntervalSeconds = 60;
    int tokenLifetimeSeconds = 3600;
    unsigned seed = 1;
};

class MarketplaceService
{
public:
    explicit MarketplaceService(MarketplaceSettings settings);

    void install(httplib::Server &server);

    // Adds an order now, whatever the schedule; returns its id.
    std::string addOrder(OrderKind kind);
    std::vector<MarketplaceOrder> orders();
    std::string stateJson();

    const MarketplaceSettings &settings() const { return settings_; }

    // The marketplace's error reply: {"error":...,"message":...}.
    static std::string errorBody(std::string_view error, std::string_view message);

private:
    using Clock = std::chrono::steady_clock;

    bool checkContact(const httplib::Request &req, httplib::Response &res) const;
    bool checkToken(const httplib::Request &req, httplib::Response &res);
    void token(const httplib::Request &req, httplib::Response &res);
    void search(const httplib::Request &req, httplib::Response &res);
    void detail(const httplib::Request &req, httplib::Response &res);
    void ordersPage(const httplib::Request &req, httplib::Response &res);

    // Brings the list up to date with the orders due by now. Caller holds the lock.
    void catchUp();
    MarketplaceOrder makeOrder(OrderKind kind);

    MarketplaceSettings settings_;
    std::mutex mutex_;
    std::mt19937 random_;
    std::vector<MarketplaceOrder> orders_;
    std::map<std::string, Clock::time_point> tokens_;
    Clock::time_point started_;
    int scheduledMade_ = 0;
    long nextOrderId_;
};

} // namespace brisfold::sandbox
