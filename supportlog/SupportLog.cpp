#include "supportlog/SupportLog.h"

#include "common/Clock.h"
#include "platform/ThreadPriority.h"
#include "supportlog/DailyLogSink.h"

#include <QDir>
#include <QRegularExpression>
#include <spdlog/async_logger.h>
#include <spdlog/details/thread_pool.h>

namespace brisfold {

namespace {

// Enough for a burst of events while the disk is slow; beyond it the oldest lines give way.
constexpr size_t queuedLines = 8192;

} // namespace

SupportLog::SupportLog(QString folder, const Clock &clock, FailureHandler onFailure)
    : clock_(clock)
    , sink_(std::make_shared<DailyLogSink>(QDir(folder).absolutePath(), std::move(onFailure)))
    , pool_(std::make_shared<spdlog::details::thread_pool>(queuedLines, 1,
                                                           [] { lowerCurrentThreadPriority(); }))
    , logger_(std::make_shared<spdlog::async_logger>("brisfold", sink_, pool_,
                                                     spdlog::async_overflow_policy::overrun_oldest))
{
    // The sink reports its own failures; spdlog's default would print to stderr.
    logger_->set_error_handler([](const std::string &) {});
}

SupportLog::~SupportLog()
{
    flush();
    // Joins the writer before the logger goes, so that its last reference is dropped here and not
    // on the writer thread.
    pool_.reset();
    logger_.reset();
}

void SupportLog::write(const QString &text)
{
    if (sink_->stopped())
        return;
    QString line = clock_.now().toString(u"yyyy-MM-dd HH:mm:ss.zzz");
    line += u' ';
    line += text;
    // One event, one line, whatever the text holds.
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray bytes = line.toUtf8();
    ++posted_;
    logger_->log(spdlog::level::info, spdlog::string_view_t(bytes.constData(), size_t(bytes.size())));
}

void SupportLog::flush()
{
    const quint64 target = ++posted_;
    pool_->post_flush(std::shared_ptr<spdlog::async_logger>(logger_), spdlog::async_overflow_policy::block);
    // A full queue may drop messages, this flush among them; spdlog counts those.
    sink_->waitUntilHandled(target, [this] { return quint64(pool_->overrun_counter()); });
}

QString SupportLog::fileName(QDate day)
{
    return QStringLiteral("brisfold-%1.log").arg(day.toString(u"yyyy-MM-dd"));
}

bool SupportLog::isExpired(const QString &fileName, QDate today)
{
    static const QRegularExpression pattern(QStringLiteral("^brisfold-(\\d{4}-\\d{2}-\\d{2})\\.log$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return false;
    const QDate day = QDate::fromString(match.captured(1), u"yyyy-MM-dd");
    return day.isValid() && day < today.addDays(-keptDays);
}

QString SupportLog::capNotice()
{
    return QStringLiteral("Registro deste dia cortado: limite de 10 MB atingido");
}

} // namespace brisfold
