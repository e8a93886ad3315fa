// A web operation on its own worker: the caller's thread keeps running its events meanwhile, the
// result comes back on that thread, one operation runs at a time, and nothing is delivered to a
// caller that is gone.
#include "common/BackgroundCall.h"

#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace brisfold;

using brisfold::test::waitFor;

TEST(BackgroundCall, TheCallerKeepsRunningItsEventsAndGetsTheResultOnItsOwnThread)
{
    BackgroundCall call;
    std::atomic<bool> release = false;
    QThread *workThread = nullptr;
    QThread *doneThread = nullptr;
    QString result;

    ASSERT_TRUE(call.start(
        [&] {
            workThread = QThread::currentThread();
            while (!release)
                QThread::msleep(1);
            return QStringLiteral("TRUE");
        },
        [&](const QString &text) {
            doneThread = QThread::currentThread();
            result = text;
        }));
    EXPECT_TRUE(call.isBusy());
    EXPECT_FALSE(call.start([] { return QString(); }, nullptr)) << "one operation at a time";

    // A timer of the caller's thread ticks while the operation waits.
    int ticks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&ticks] { ++ticks; });
    probe.start(5);
    ASSERT_TRUE(waitFor([&ticks] { return ticks >= 10; }));
    EXPECT_TRUE(result.isEmpty());
    release = true;

    ASSERT_TRUE(waitFor([&call] { return !call.isBusy(); }));
    EXPECT_EQ(result, QStringLiteral("TRUE"));
    EXPECT_NE(workThread, QThread::currentThread());
    EXPECT_EQ(doneThread, QThread::currentThread());

    // Another operation starts once the first has handed its result over.
    QString second;
    EXPECT_TRUE(call.start([] { return QStringLiteral("de novo"); }, [&](const QString &t) { second = t; }));
    ASSERT_TRUE(waitFor([&second] { return !second.isEmpty(); }));
    EXPECT_EQ(second, QStringLiteral("de novo"));
}

TEST(BackgroundCall, AnEscapedErrorBecomesTheResultText)
{
    BackgroundCall call;
    QString result;
    call.start([]() -> QString { throw std::runtime_error("no such column: TAXAENTREGA"); },
               [&](const QString &text) { result = text; });
    ASSERT_TRUE(waitFor([&call] { return !call.isBusy(); }));
    EXPECT_EQ(result, QStringLiteral("no such column: TAXAENTREGA"));
}

TEST(BackgroundCall, DestroyingItWaitsForTheWorkAndDeliversNothing)
{
    std::atomic<bool> workEnded = false;
    bool delivered = false;
    {
        BackgroundCall call;
        call.start(
            [&workEnded] {
                QThread::msleep(200);
                workEnded = true;
                return QStringLiteral("TRUE");
            },
            [&delivered](const QString &) { delivered = true; });
    }
    // What the work writes (a booking's mark) is done when the owner is gone.
    EXPECT_TRUE(workEnded);
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}
