// Stand-in for the courier platform's integration service and its management page.
#pragma once

#include <httplib.h>
#include <mutex>
#include <string>
#include <vector>

namespace brisfold::sandbox {

struct CourierCategory
{
    std::string nome;
    double baseFee;
    double feePerKm;
    double speedKmh;
};

struct CourierCompany
{
    long id;
    std::string nome, endereco, bairro, cidade, uf, cep, lat, lng, status, telefone, documento;
    std::string email, password;
    std::vector<std::string> paymentCodes;
    std::vector<CourierCategory> categories;
};

struct CourierBooking
{
    std::string idMch;
    long companyId;
    std::string companyName;
    std::string idExterno, cliente, telefone, endereco, data, hora, categoria, pagamento;
    bool retorno;
    std::string km, fee;
    std::string receivedAt;
};

struct Estimate
{
    double km;
    double fee;
    int minutes;
};

// The one usable company first, then the inactive one.
std::vector<CourierCompany> demoCompanies();

Estimate estimateDelivery(const CourierCategory &category, double km, bool withReturn);

class CourierService
{
public:
    explicit CourierService(std::string apiKey, std::vector<CourierCompany> companies = demoCompanies());

    void install(httplib::Server &server);

    const std::vector<CourierCompany> &companies() const { return companies_; }
    std::vector<CourierBooking> bookings() const;
    std::string stateJson() const;

    // The platform's error reply: {"success":false,"errors":[{"message":...}, ...]}.
    static std::string errorsBody(const std::vector<std::string> &messages);

private:
    const CourierCompany *authenticate(const httplib::Request &req, httplib::Response &res) const;
    void profile(const httplib::Request &req, httplib::Response &res) const;
    void estimate(const httplib::Request &req, httplib::Response &res) const;
    void book(const httplib::Request &req, httplib::Response &res);
    void managementPage(const httplib::Request &req, httplib::Response &res) const;

    std::string apiKey_;
    std::vector<CourierCompany> companies_;
    mutable std::mutex mutex_;
    std::vector<CourierBooking> bookings_;
    long nextBooking_ = 735201;
};

} // namespace brisfold::sandbox
