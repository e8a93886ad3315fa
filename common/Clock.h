#pragma once

#include <QDateTime>

namespace brisfold {

// Where "now" comes from, so that tests can fix the local time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};

} // namespace brisfold
