#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace brisfold {

// Watches one web service across checks: the third failure in a row gives one notice naming when
// the first of them happened, and the first success after a notice gives one recovery notice.
class OutageWatch final
{
public:
    // `name` starts the outage notice ("Aiqfome sem conexão desde HH:MM"); `recovered` is the
    // whole recovery notice.
    OutageWatch(QString name, QString recovered);

    // The notice to show, if this failure is the one that makes an outage.
    std::optional<QString> failed(const QDateTime &at);
    std::optional<QString> succeeded();

    static constexpr int failuresForNotice = 3;

private:
    QString name_;
    QString recovered_;
    int failures_ = 0;
    QDateTime firstFailure_;
    bool noticeShown_ = false;
};

} // namespace brisfold
