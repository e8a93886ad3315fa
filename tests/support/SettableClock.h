#pragma once

#include "common/Clock.h"

#include <mutex>

namespace brisfold::test {

// A clock that says what the test tells it to.
class SettableClock final : public Clock
{
public:
    explicit SettableClock(QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(12, 0)))
        : now_(std::move(now))
    {}

    QDateTime now() const override
    {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void set(const QDateTime &now)
    {
        std::lock_guard lock(mutex_);
        now_ = now;
    }
    void advance(qint64 seconds)
    {
        std::lock_guard lock(mutex_);
        now_ = now_.addSecs(seconds);
    }

private:
    mutable std::mutex mutex_;
    QDateTime now_;
};

} // namespace brisfold::test
