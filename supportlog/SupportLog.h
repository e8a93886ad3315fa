#pragma once

#include <QDate>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace spdlog {
class async_logger;
namespace details {
class thread_pool;
} // namespace details
} // namespace spdlog

namespace brisfold {

class Clock;
class DailyLogSink;

// A log a support person can read: one plain-text line per event, one file per local day in its
// own folder. A background thread does the writing, so no caller ever waits on the disk.
class SupportLog final
{
public:
    // Called once, on the writer's thread, when the log stops for good; the receiver marshals it.
    using FailureHandler = std::function<void(const QString &text)>;

    static constexpr qint64 maxFileBytes = 10 * 1024 * 1024;
    static constexpr int keptDays = 14;

    SupportLog(QString folder, const Clock &clock, FailureHandler onFailure);
    ~SupportLog(); // writes what is queued, then stops the writer
    SupportLog(const SupportLog &) = delete;
    SupportLog &operator=(const SupportLog &) = delete;

    // Queues "YYYY-MM-DD HH:MM:SS.mmm text" for the clock's day; never blocks and never throws.
    void write(const QString &text);
    // Returns once every line queued before it is in its file or was dropped.
    void flush();

    static QString fileName(QDate day);
    // Whether `fileName` is the log of a day more than keptDays before `today`; files of other
    // names never are.
    static bool isExpired(const QString &fileName, QDate today);
    static QString capNotice();

private:
    const Clock &clock_;
    std::shared_ptr<DailyLogSink> sink_;
    std::shared_ptr<spdlog::details::thread_pool> pool_;
    std::shared_ptr<spdlog::async_logger> logger_;
    std::atomic<quint64> posted_{0};
};

} // namespace brisfold
