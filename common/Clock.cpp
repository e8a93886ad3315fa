#include "common/Clock.h"

namespace brisfold {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace brisfold
