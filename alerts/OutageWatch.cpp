#include "alerts/OutageWatch.h"

namespace brisfold {

OutageWatch::OutageWatch(QString name, QString recovered)
    : name_(std::move(name))
    , recovered_(std::move(recovered))
{}

std::optional<QString> OutageWatch::failed(const QDateTime &at)
{
    if (failures_++ == 0)
        firstFailure_ = at;
    if (failures_ != failuresForNotice)
        return std::nullopt;
    noticeShown_ = true;
    return name_ + QStringLiteral(" sem conexão desde ") + firstFailure_.toString(QStringLiteral("HH:mm"));
}

std::optional<QString> OutageWatch::succeeded()
{
    failures_ = 0;
    if (!noticeShown_)
        return std::nullopt;
    noticeShown_ = false;
    return recovered_;
}

} // namespace brisfold
