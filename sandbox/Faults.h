// Faults on demand: the next requests of one service get a slow reply, a 500 page, a 401 or broken JSON,
// or are handled at once and only their reply is held back.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace brisfold::sandbox {

enum class FaultKind
{
    None,
    Slow,
    ServerError,
    Unauthorized,
    BrokenJson,
};

std::optional<FaultKind> parseFaultKind(std::string_view name);
std::string_view faultKindName(FaultKind kind);

struct FaultSpec
{
    FaultKind kind = FaultKind::None;
    int times = -1;         // requests still to spoil; -1 = until cleared
    int delayMs = 15000;    // for Slow; longer than the clients' 10 s read time-out by default
    std::string pathPrefix; // only requests whose path starts with it; empty = every path
    // For Slow ("slow-reply"): the request is handled first and only its reply waits, so a
    // booking is on record while its client still waits for the answer. The courier side only.
    bool afterHandling = false;
};

// Reads a fault from the control address's JSON body: {"kind":..., "times":..., "delay_ms":..., "path":...}.
std::optional<FaultSpec> parseFaultSpec(const std::string &json, std::string &error);

class FaultInjector
{
public:
    void set(FaultSpec spec);
    void clear() { set(FaultSpec{}); }
    FaultSpec current() const;
    // The fault this request gets, counting it against "times".
    FaultKind take(const std::string &path, int &delayMs);
    // Sleeps, waking early when the service stops; false when it stopped.
    bool sleepFor(int ms);
    // Called on a request's thread once its handler has run: waits out the reply hold that take()
    // gave this request, if any.
    static void holdReply();
    void stop();

private:
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    FaultSpec spec_;
    bool stopping_ = false;
};

} // namespace brisfold::sandbox
