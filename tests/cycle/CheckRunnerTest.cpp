#include "cycle/CheckRunner.h"

#include "CycleFixture.h"
#include "support/SilentListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <future>
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

namespace {

// What the window saw of one check run through the runner, and how long its event loop was stuck.
struct Observed
{
    QStringList status;
    QStringList notices;
    QList<qint64> unknownBookings;
    qint64 longestStall = 0;
    qint64 elapsed = 0;
    bool finished = false;
};

Observed observe(CheckRunner &runner, const CheckInput &input)
{
    Observed seen;
    QObject context;
    QObject::connect(&runner, &CheckRunner::statusText, &context,
                     [&](const QString &t) { seen.status << t; });
    QObject::connect(&runner, &CheckRunner::noticeShown, &context,
                     [&](const QString &t) { seen.notices << t; });
    QObject::connect(&runner, &CheckRunner::bookingOutcomeUnknown, &context,
                     [&](qint64 id, const QString &) { seen.unknownBookings << id; });
    QEventLoop loop;
    QObject::connect(&runner, &CheckRunner::finished, &context, [&] {
        seen.finished = true;
        loop.quit();
    });
    // A probe on this, the UI, thread: a check that blocked it would stall the probe.
    QElapsedTimer sinceTick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, &context,
                     [&] { seen.longestStall = std::max(seen.longestStall, sinceTick.restart()); });
    QElapsedTimer total;
    total.start();
    if (!runner.start(input))
        return seen;
    probe.start(10);
    sinceTick.start();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    seen.elapsed = total.elapsed();
    return seen;
}

} // namespace

TEST_F(CycleTest, AFaultyServiceEndsTheCheckByItsTimeOutsWhileTheUiKeepsServing)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    const QByteArray search =
        R"({"data":[{"order_id":"M1","created_at":"2024-03-15 13:30:00","is_read":true,)"
        R"("is_ready":false,"order_is_pickup":false}]})";
    const QByteArray detail =
        R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,"is_delivered":false,)"
        R"("created_at":"2024-03-15 13:30:00","user":{"name":"Ana","surname":"S","address":{"street_name":"R",)"
        R"("number":"1","complement":"","reference":"","phone":"44","mobile_phone":"","city_name":"C",)"
        R"("state_uf":"PR","latitude":"-23","longitude":"-51"}}}})";
    const QByteArray token = R"({"data":{"access_token":"tok","expires_in":3600}})";
    const QByteArray booked = R"({"response":{"id_mch":"9"}})";
    const auto timeouts = [](auto settings) {
        settings.timeouts.connect = std::chrono::seconds(2);
        settings.timeouts.read = std::chrono::seconds(2);
        settings.timeouts.overall = std::chrono::seconds(3);
        return settings;
    };
    enum class Service
    {
        Marketplace,
        Courier,
        MutePort
    };
    FakeReply hang = FakeReply::json(token);
    hang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    FakeReply drip = FakeReply::json(search);
    drip.behaviour = FakeReply::Behaviour::Drip;
    drip.dripInterval = std::chrono::milliseconds(300);
    FakeReply courierHang = FakeReply::json(booked);
    courierHang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    const struct
    {
        const char *what;
        Service service;
        QByteArray method;
        QByteArray path;
        FakeReply reply;
        QString lastStatus; // the second panel's last text starts with this
    } cases[] = {
        {"token never answered", Service::Marketplace, "POST", "/alfredo/auth/token", hang, noConnection},
        {"search drips", Service::Marketplace, "GET", "/alfredo/orders/search", drip, noConnection},
        {"marketplace port accepts and never answers", Service::MutePort, "", "", {}, noConnection},
        {"booking never answered", Service::Courier, "POST", "/api/integracao/abrirEntrega", courierHang,
         QStringLiteral("Erro: ") + noConnection},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        const qint64 waiting = addOrder(QStringLiteral("W1"));
        HttpsFake market;
        HttpsFake platform;
        SilentListener mute;
        market.setReply("POST", "/alfredo/auth/token", FakeReply::json(token));
        market.setReply("GET", "/alfredo/orders/search", FakeReply::json(search));
        market.setReply("GET", "/alfredo/orders/M1", FakeReply::json(detail));
        platform.setReply("POST", "/api/integracao/abrirEntrega", FakeReply::json(booked));
        HttpsFake &faulty = c.service == Service::Courier ? platform : market;
        if (c.service != Service::MutePort)
            faulty.setReply(c.method, c.path, c.reply);
        MarketplaceSettings marketSettings = timeouts(marketplaceSettings());
        marketSettings.baseUrl = c.service == Service::MutePort ? mute.baseUrl() : market.baseUrl();
        CourierSettings courierSettings = timeouts(this->courierSettings());
        courierSettings.baseUrl = platform.baseUrl();

        CheckRunner runner(db(), marketSettings, courierSettings, clock);
        runner.setSignedIn(true);
        const Observed faulty_ = observe(runner, dispatchOn());

        ASSERT_TRUE(faulty_.finished) << "the check ends by itself";
        EXPECT_LT(faulty_.elapsed, 10000);
        EXPECT_LT(faulty_.longestStall, 1000) << "the UI thread waited on the check";
        ASSERT_FALSE(faulty_.status.isEmpty());
        EXPECT_TRUE(faulty_.status.last().startsWith(c.lastStatus)) << faulty_.status.last().toStdString();
        if (c.service == Service::Courier) {
            EXPECT_EQ(storedCount(u"M1"), 1);
            EXPECT_EQ(markOf(waiting), u"") << "a booking that got no answer leaves the order open";
            EXPECT_EQ(faulty_.unknownBookings, QList<qint64>{waiting}) << "and asks about it";
        } else {
            EXPECT_EQ(storedCount(u"M1"), 0);
            EXPECT_EQ(faulty_.notices.last(), faulty_.status.last());
            EXPECT_EQ(markOf(waiting), u"MACHINE") << "automatic dispatch still ran";
        }

        // The next check, against healthy services.
        faulty.setReply(c.method, c.path,
                        c.service == Service::Courier ? FakeReply::json(booked)
                        : c.method == "POST"          ? FakeReply::json(token)
                                                      : FakeReply::json(search));
        faulty.release();
        marketSettings.baseUrl = market.baseUrl();
        CheckRunner healthy(db(), marketSettings, courierSettings, clock);
        healthy.setSignedIn(true);
        const Observed next = observe(healthy, dispatchOn());
        ASSERT_TRUE(next.finished);
        EXPECT_EQ(next.status.last(), u"Aiqfome conectado");
        EXPECT_EQ(storedCount(u"M1"), 1);
        if (c.service == Service::Courier) {
            // The platform may hold the first post: no second one without the user's word.
            const auto posts = platform.requests();
            EXPECT_EQ(std::count_if(posts.begin(), posts.end(),
                                    [](const auto &r) { return r.body.contains("aiqfome W1"); }),
                      1);
            EXPECT_EQ(markOf(waiting), u"");
            EXPECT_EQ(next.unknownBookings, QList<qint64>{waiting});
        } else {
            EXPECT_EQ(markOf(waiting), u"MACHINE");
        }
    }
}

// The user changes the board while the check waits on a slow search: automatic dispatch books
// with what the board shows when it begins, not with what it showed when the check started.
TEST_F(CycleTest, AutomaticDispatchReadsTheBoardWhenItBegins)
{
    db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
    FakeReply slowSearch = FakeReply::json(R"({"data":[]})");
    slowSearch.behaviour = FakeReply::Behaviour::HangBeforeReply;
    const struct
    {
        const char *what;
        std::function<void(AutoDispatchSettings &)> change;
        QStringList categoriesPosted;
    } cases[] = {
        {"switch turned off", [](AutoDispatchSettings &s) { s.enabled = false; }, {}},
        {"switch left on, category changed",
         [](AutoDispatchSettings &s) { s.category = QStringLiteral("Carro"); },
         {QStringLiteral("Carro")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        const qint64 order = addOrder(QStringLiteral("S1"));
        HttpsFake market;
        market.setReply("POST", "/alfredo/auth/token",
                        FakeReply::json(R"({"data":{"access_token":"tok","expires_in":3600}})"));
        market.setReply("GET", "/alfredo/orders/search", slowSearch);
        HttpsFake platform;
        platform.setReply("POST", "/api/integracao/abrirEntrega",
                          FakeReply::json(R"({"response":{"id_mch":"9"}})"));
        MarketplaceSettings marketSettings = marketplaceSettings();
        marketSettings.baseUrl = market.baseUrl();
        CourierSettings platformSettings = courierSettings();
        platformSettings.baseUrl = platform.baseUrl();

        AutoDispatchSettings board = dispatchOn().dispatch;
        bool readOnOtherThread = false;
        CheckRunner runner(db(), marketSettings, platformSettings, clock);
        runner.setSignedIn(true);
        runner.setDispatchSettingsSource([&] {
            readOnOtherThread = readOnOtherThread || QThread::currentThread() != qApp->thread();
            return board;
        });
        QObject::connect(&runner, &CheckRunner::statusText, [&](const QString &text) {
            if (text == u"Verificando pedidos") {
                c.change(board);
                market.release();
            }
        });
        QEventLoop loop;
        QObject::connect(&runner, &CheckRunner::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        ASSERT_TRUE(runner.start(dispatchOn()));
        loop.exec();

        ASSERT_FALSE(runner.isRunning());
        EXPECT_FALSE(readOnOtherThread);
        QStringList categories;
        for (const RecordedRequest &r : platform.requests())
            categories << QJsonDocument::fromJson(r.body)
                              .object()
                              .value(QStringLiteral("categoria_nome"))
                              .toString();
        EXPECT_EQ(categories, c.categoriesPosted);
        EXPECT_EQ(markOf(order), c.categoriesPosted.isEmpty() ? QString() : QStringLiteral("MACHINE"));
    }
}

// The window goes away, its thread blocked in the runner's destructor, while the worker waits
// for that thread to read the board: the worker gives up, books nothing, and the destructor
// returns.
TEST_F(CycleTest, DestroyingTheRunnerLetsAWorkerWaitingForTheBoardGo)
{
    addOrder(QStringLiteral("D1"));
    bool sourceCalled = false;
    std::promise<void> destroyed;
    // A deadlock would block this thread for good; fail the run instead of hanging it.
    std::thread watchdog([finished = destroyed.get_future()] {
        if (finished.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
            std::fputs("the runner's destructor and its worker deadlocked\n", stderr);
            std::_Exit(1);
        }
    });
    {
        CheckRunner runner(db(), marketplaceSettings(), courierSettings(), clock);
        runner.setSignedIn(true);
        runner.setDispatchSettingsSource([&] {
            sourceCalled = true;
            return dispatchOn().dispatch;
        });
        EXPECT_TRUE(runner.start(dispatchOn()));
        // With no credentials row the worker goes straight to the board; this thread turns no
        // event loop, so the worker is left waiting.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    destroyed.set_value();
    watchdog.join();

    EXPECT_FALSE(sourceCalled);
    EXPECT_TRUE(courier.requests().isEmpty());
    QCoreApplication::processEvents();
}
