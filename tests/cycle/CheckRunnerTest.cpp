#include "cycle/CheckRunner.h"

#include "CycleFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <thread>

using namespace brisfold;
using namespace brisfold::test;

TEST_F(CycleTest, OneCheckAtATimeAndTheUiKeepsServing)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    FakeReply hang = FakeReply::json(R"({"data":{"access_token":"tok","expires_in":3600}})");
    hang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    marketplace.setReply("POST", "/alfredo/auth/token", hang);
    const qint64 order = addOrder(QStringLiteral("A1"));

    CheckRunner runner(db(), marketplaceSettings(), courierSettings(), clock);
    runner.setSignedIn(true);
    QStringList status;
    QStringList sequence;
    QObject::connect(&runner, &CheckRunner::statusText, [&](const QString &t) {
        status << t;
        sequence << t;
    });
    QObject::connect(&runner, &CheckRunner::finished, [&] { sequence << QStringLiteral("<finished>"); });

    ASSERT_TRUE(runner.start(dispatchOn()));
    EXPECT_FALSE(runner.start(dispatchOn()));

    // The marketplace answers after a while; meanwhile the event loop keeps turning.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        marketplace.release();
    });
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    ticker.start(10);
    sinceTick.start();
    QEventLoop loop;
    QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    releaser.join();

    EXPECT_FALSE(runner.isRunning());
    EXPECT_LT(longestStall, 500);
    EXPECT_EQ(sequence.last(), u"<finished>");
    EXPECT_TRUE(status.contains(QStringLiteral("Verificando token")));
    EXPECT_EQ(status.last(), u"Aiqfome conectado");
    EXPECT_EQ(markOf(order), u"MACHINE");

    marketplace.setReply("POST", "/alfredo/auth/token", FakeReply::json(R"({"x":1})", 401));
    bool refused = false;
    QObject::connect(&runner, &CheckRunner::credentialsRefused, [&] { refused = true; });
    ASSERT_TRUE(runner.start(CheckInput{}));
    QEventLoop second;
    QObject::connect(&runner, &CheckRunner::finished, &second, &QEventLoop::quit);
    QTimer::singleShot(15000, &second, &QEventLoop::quit);
    second.exec();
    EXPECT_TRUE(refused);
}

TEST_F(CycleTest, RunnerWaitsForItsCheckWhenDestroyed)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    FakeReply hang = FakeReply::json(R"({"data":{"access_token":"late","expires_in":60}})");
    hang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    marketplace.setReply("POST", "/alfredo/auth/token", hang);
    std::thread releaser;
    {
        CheckRunner runner(db(), marketplaceSettings(), courierSettings(), clock);
        ASSERT_TRUE(runner.start(CheckInput{}));
        releaser = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            marketplace.release();
        });
    }
    releaser.join();
    // The worker finished its token row before the runner let go of the database.
    EXPECT_EQ(db().query("SELECT TOKEN FROM CONFIGDELIVERY").text(0, u"TOKEN"), u"late");
    QCoreApplication::processEvents();
}
