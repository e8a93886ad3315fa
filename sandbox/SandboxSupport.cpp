#include "sandbox/SandboxSupport.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace brisfold::sandbox {

JsonBuilder::JsonBuilder()
    : writer_(buffer_)
{}

void JsonBuilder::beginObject()
{
    writer_.StartObject();
}

void JsonBuilder::beginObject(const char *key)
{
    writer_.Key(key);
    writer_.StartObject();
}

void JsonBuilder::endObject()
{
    writer_.EndObject();
}

void JsonBuilder::beginArray()
{
    writer_.StartArray();
}

void JsonBuilder::beginArray(const char *key)
{
    writer_.Key(key);
    writer_.StartArray();
}

void JsonBuilder::endArray()
{
    writer_.EndArray();
}

void JsonBuilder::text(std::string_view value)
{
    writer_.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void JsonBuilder::text(const char *key, std::string_view value)
{
    writer_.Key(key);
    text(value);
}

void JsonBuilder::nullableText(const char *key, const std::optional<std::string> &value)
{
    writer_.Key(key);
    if (value)
        text(*value);
    else
        writer_.Null();
}

void JsonBuilder::number(const char *key, std::string_view written)
{
    writer_.Key(key);
    writer_.RawValue(written.data(), written.size(), rapidjson::kNumberType);
}

void JsonBuilder::integer(const char *key, std::int64_t value)
{
    writer_.Key(key);
    writer_.Int64(value);
}

void JsonBuilder::boolean(const char *key, bool value)
{
    writer_.Key(key);
    writer_.Bool(value);
}

std::string JsonBuilder::result() const
{
    return std::string(buffer_.GetString(), buffer_.GetSize());
}

std::optional<std::string> base64Decode(std::string_view text)
{
    auto valueOf = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v = valueOf(c);
        if (v < 0)
            return std::nullopt;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFFu));
        }
    }
    return out;
}

std::optional<BasicCredentials> basicCredentials(const httplib::Request &req)
{
    const std::string header = req.get_header_value("Authorization");
    constexpr std::string_view prefix = "Basic ";
    if (header.size() <= prefix.size() || header.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    auto decoded = base64Decode(std::string_view(header).substr(prefix.size()));
    if (!decoded)
        return std::nullopt;
    auto colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

std::string bearerToken(const httplib::Request &req)
{
    const std::string header = req.get_header_value("Authorization");
    constexpr std::string_view prefix = "Bearer ";
    if (header.size() <= prefix.size() || header.compare(0, prefix.size(), prefix) != 0)
        return {};
    return header.substr(prefix.size());
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string localTimeText(std::time_t when, const char *format)
{
    std::tm parts{};
    localtime_r(&when, &parts);
    std::array<char, 64> buffer{};
    std::size_t n = std::strftime(buffer.data(), buffer.size(), format, &parts);
    return std::string(buffer.data(), n);
}

std::string fixedNumber(double value, int decimals)
{
    std::array<char, 64> buffer{};
    int n = std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::optional<double> parseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 40)
        return std::nullopt;
    std::string copy(text);
    char *end = nullptr;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double distanceKm(double lat1, double lng1, double lat2, double lng2)
{
    constexpr double earthRadiusKm = 6371.0;
    constexpr double toRad = std::numbers::pi / 180.0;
    double dLat = (lat2 - lat1) * toRad;
    double dLng = (lng2 - lng1) * toRad;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1 * toRad) * std::cos(lat2 * toRad) * std::sin(dLng / 2) * std::sin(dLng / 2);
    return 2 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

bool isLoopback(const std::string &address)
{
    return address == "::1" || address.rfind("127.", 0) == 0 || address == "::ffff:127.0.0.1";
}

void sendJson(httplib::Response &res, int status, const std::string &body)
{
    res.status = status;
    res.set_content(body, "application/json; charset=utf-8");
}

void sendHtml(httplib::Response &res, int status, const std::string &body)
{
    res.status = status;
    res.set_content(body, "text/html; charset=utf-8");
}

std::string htmlPage(std::string_view title, std::string_view body, int refreshSeconds)
{
    std::string page = "<!DOCTYPE html>\n<html lang=\"pt-BR\"><head><meta charset=\"utf-8\">";
    if (refreshSeconds > 0)
        page += "<meta http-equiv=\"refresh\" content=\"" + std::to_string(refreshSeconds) + "\">";
    page += "<title>" + htmlEscape(title) +
            "</title><style>"
            "body{font-family:sans-serif;margin:2em;color:#222}"
            "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:4px 8px;text-align:left}"
            "th{background:#eee}.muted{color:#888}</style></head><body>";
    page += body;
    page += "</body></html>\n";
    return page;
}

} // namespace brisfold::sandbox
