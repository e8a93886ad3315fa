#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

namespace brisfold::test {

// Runs the event loop until `condition` holds; false when `timeoutMs` passed first.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

} // namespace brisfold::test
