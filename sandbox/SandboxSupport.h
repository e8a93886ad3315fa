// Small helpers shared by the two stand-in services.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <httplib.h>
#include <optional>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <string_view>

namespace brisfold::sandbox {

// One JSON text, written member by member: every reply and state document of the services uses it, so
// texts are always escaped and each member is one call.
class JsonBuilder final
{
public:
    JsonBuilder();
    JsonBuilder(const JsonBuilder &) = delete;
    JsonBuilder &operator=(const JsonBuilder &) = delete;

    void beginObject();
    void beginObject(const char *key);
    void endObject();
    void beginArray();
    void beginArray(const char *key);
    void endArray();

    void text(std::string_view value);
    void text(const char *key, std::string_view value);
    // null when there is no value.
    void nullableText(const char *key, const std::optional<std::string> &value);
    // A number already written out, so that money keeps its two decimals ("9.80").
    void number(const char *key, std::string_view written);
    void integer(const char *key, std::int64_t value);
    void boolean(const char *key, bool value);

    std::string result() const;

private:
    rapidjson::StringBuffer buffer_;
    rapidjson::Writer<rapidjson::StringBuffer> writer_; // writes into buffer_, so declared after it
};

std::optional<std::string> base64Decode(std::string_view text);

struct BasicCredentials
{
    std::string user;
    std::string password;
};

// The credentials of an "Authorization: Basic" header, or nothing when the header is absent or malformed.
std::optional<BasicCredentials> basicCredentials(const httplib::Request &req);

// "Bearer" token of the request, or the empty text.
std::string bearerToken(const httplib::Request &req);

std::string htmlEscape(std::string_view text);

// Local time in strftime form.
std::string localTimeText(std::time_t when, const char *format);

// A number with a fixed count of decimals, as JSON writes it (point, no exponent).
std::string fixedNumber(double value, int decimals);

std::optional<double> parseNumber(std::string_view text);

double distanceKm(double lat1, double lng1, double lat2, double lng2);

bool isLoopback(const std::string &address);

void sendJson(httplib::Response &res, int status, const std::string &body);
void sendHtml(httplib::Response &res, int status, const std::string &body);

// Wraps a page body in the common head and style.
std::string htmlPage(std::string_view title, std::string_view body, int refreshSeconds);

} // namespace brisfold::sandbox
