#include "sandbox/Faults.h"

#include <chrono>
#include <rapidjson/document.h>
#include <utility>

namespace brisfold::sandbox {

namespace {

constexpr const char *kindError = "\"kind\" must be one of none, slow, slow-reply, 500, 401, broken-json";

// take() and holdReply() run on the same server thread, before and after the request's handler.
struct HeldReply
{
    FaultInjector *injector = nullptr;
    int delayMs = 0;
};
thread_local HeldReply heldReply;

} // namespace

std::optional<FaultKind> parseFaultKind(std::string_view name)
{
    if (name == "none")
        return FaultKind::None;
    if (name == "slow")
        return FaultKind::Slow;
    if (name == "500")
        return FaultKind::ServerError;
    if (name == "401")
        return FaultKind::Unauthorized;
    if (name == "broken-json")
        return FaultKind::BrokenJson;
    return std::nullopt;
}

std::string_view faultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::None:
        return "none";
    case FaultKind::Slow:
        return "slow";
    case FaultKind::ServerError:
        return "500";
    case FaultKind::Unauthorized:
        return "401";
    case FaultKind::BrokenJson:
        return "broken-json";
    }
    return "none";
}

std::optional<FaultSpec> parseFaultSpec(const std::string &json, std::string &error)
{
    rapidjson::Document doc;
    doc.Parse(json.c_str(), json.size());
    if (doc.HasParseError() || !doc.IsObject()) {
        error = "body must be a JSON object";
        return std::nullopt;
    }
    FaultSpec spec;
    if (!doc.HasMember("kind") || !doc["kind"].IsString()) {
        error = kindError;
        return std::nullopt;
    }
    const std::string_view name = doc["kind"].GetString();
    spec.afterHandling = name == "slow-reply";
    auto kind = spec.afterHandling ? FaultKind::Slow : parseFaultKind(name);
    if (!kind) {
        error = kindError;
        return std::nullopt;
    }
    spec.kind = *kind;
    if (doc.HasMember("times")) {
        if (!doc["times"].IsInt() || doc["times"].GetInt() < -1 || doc["times"].GetInt() == 0) {
            error = "\"times\" must be a positive whole number, or -1 for until cleared";
            return std::nullopt;
        }
        spec.times = doc["times"].GetInt();
    }
    if (doc.HasMember("delay_ms")) {
        if (!doc["delay_ms"].IsInt() || doc["delay_ms"].GetInt() < 0) {
            error = "\"delay_ms\" must be a whole number of milliseconds";
            return std::nullopt;
        }
        spec.delayMs = doc["delay_ms"].GetInt();
    }
    if (doc.HasMember("path")) {
        if (!doc["path"].IsString()) {
            error = "\"path\" must be a text";
            return std::nullopt;
        }
        spec.pathPrefix = doc["path"].GetString();
    }
    return spec;
}

void FaultInjector::set(FaultSpec spec)
{
    std::lock_guard lock(mutex_);
    spec_ = std::move(spec);
}

FaultSpec FaultInjector::current() const
{
    std::lock_guard lock(mutex_);
    return spec_;
}

FaultKind FaultInjector::take(const std::string &path, int &delayMs)
{
    std::lock_guard lock(mutex_);
    heldReply = {};
    if (spec_.kind == FaultKind::None || path.rfind(spec_.pathPrefix, 0) != 0)
        return FaultKind::None;
    FaultKind kind = spec_.kind;
    delayMs = spec_.delayMs;
    if (spec_.afterHandling) {
        heldReply = {this, delayMs};
        kind = FaultKind::None;
    }
    if (spec_.times > 0 && --spec_.times == 0)
        spec_ = FaultSpec{};
    return kind;
}

bool FaultInjector::sleepFor(int ms)
{
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void FaultInjector::holdReply()
{
    const HeldReply held = std::exchange(heldReply, {});
    if (held.injector)
        held.injector->sleepFor(held.delayMs);
}

void FaultInjector::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
}

} // namespace brisfold::sandbox
