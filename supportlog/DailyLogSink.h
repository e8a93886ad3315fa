#pragma once

#include "supportlog/SupportLog.h"

#include <QByteArray>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <spdlog/sinks/base_sink.h>

namespace brisfold {

// Appends each line to the file of the day its time stamp names, cuts a day's file at the size
// cap, and stops for good at the first file-system failure. Runs on the log's writer thread.
class DailyLogSink final : public spdlog::sinks::base_sink<std::mutex>
{
public:
    DailyLogSink(QString folder, SupportLog::FailureHandler onFailure);

    bool stopped() const { return stopped_.load(std::memory_order_relaxed); }
    // Waits until the messages handled here plus those `dropped()` reaches `target`.
    void waitUntilHandled(quint64 target, const std::function<quint64()> &dropped);

protected:
    void sink_it_(const spdlog::details::log_msg &msg) override;
    void flush_() override;

private:
    void append(QByteArrayView line);
    bool openDay(QByteArrayView day);
    bool writeLine(const QByteArray &line);
    void stop(const QString &reason);
    void markHandled();

    const QString folder_;
    const SupportLog::FailureHandler onFailure_;
    std::atomic<bool> stopped_{false};

    struct CloseFile
    {
        void operator()(std::FILE *file) const { std::fclose(file); }
    };
    // A C stream, not a QFile: a QObject made here first would make this thread Qt's main
    // thread when the log starts before the application object.
    std::unique_ptr<std::FILE, CloseFile> file_;
    QString path_;
    QByteArray day_;
    qint64 size_ = 0;
    bool cut_ = false;

    std::mutex handledMutex_;
    std::condition_variable handledChanged_;
    quint64 handled_ = 0;
};

} // namespace brisfold
