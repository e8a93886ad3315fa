#include "alerts/AlertCenter.h"

#include "platform/AlertSound.h"
#include "support/SettableClock.h"

#include <gtest/gtest.h>

namespace brisfold::test {
namespace {

class RecordingSound final : public AlertSound
{
public:
    void play() override { ++plays; }
    int plays = 0;
};

class RecordingSurface final : public AlertSurface
{
public:
    void notify(const QString &text) override { notices << text; }
    void setToolTip(const QString &text) override { toolTip = text; }
    void flash() override { ++flashes; }
    QStringList notices;
    QString toolTip;
    int flashes = 0;
};

StoredOrder order(const QString &number, const QString &customer = QStringLiteral("Maria Silva"))
{
    return StoredOrder{number, customer, QStringLiteral("2024-03-15 19:00:00")};
}

CheckSummary connected()
{
    CheckSummary summary;
    summary.marketplaceTried = true;
    summary.marketplaceConnected = true;
    return summary;
}

CheckSummary unreachable()
{
    CheckSummary summary;
    summary.marketplaceTried = true;
    return summary;
}

class AlertCenterTest : public ::testing::Test
{
protected:
    SettableClock clock{QDateTime(QDate(2024, 3, 15), QTime(19, 0, 0))};
    RecordingSound sound;
    RecordingSurface surface;
    AlertCenter center{sound, surface, clock};

    // Moves the clock a second at a time, as the repeat timer would tick.
    void pass(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            clock.advance(1);
            center.tick();
        }
    }
};

TEST_F(AlertCenterTest, ANewOrderSoundsAtOnceRepeatsEveryTenSecondsUntilAcknowledged)
{
    center.orderStored(order(QStringLiteral("12345")));
    EXPECT_EQ(sound.plays, 1) << "at once, before the check ends";
    EXPECT_EQ(surface.flashes, 1);
    pass(9);
    EXPECT_EQ(sound.plays, 1);
    pass(1);
    EXPECT_EQ(sound.plays, 2);
    pass(10);
    EXPECT_EQ(sound.plays, 3);

    center.acknowledge();
    EXPECT_FALSE(center.isActive());
    pass(60);
    EXPECT_EQ(sound.plays, 3);
}

TEST_F(AlertCenterTest, MoreNewOrdersBeforeTheAcknowledgementKeepOneRepetition)
{
    center.orderStored(order(QStringLiteral("1")));
    center.checkEnded(connected());
    pass(5);
    center.orderStored(order(QStringLiteral("2")));
    center.checkEnded(connected());
    EXPECT_EQ(sound.plays, 1) << "the standing alert is not started again";
    pass(5);
    EXPECT_EQ(sound.plays, 2) << "still on the first alert's ten seconds";
    pass(9);
    EXPECT_EQ(sound.plays, 2);
    EXPECT_EQ(surface.flashes, 1);
}

TEST_F(AlertCenterTest, OneNotificationPerCheckNamesTheOrderOrTheCount)
{
    center.orderStored(order(QStringLiteral("12345"), QStringLiteral("Maria Silva ")));
    EXPECT_TRUE(surface.notices.isEmpty()) << "told when the check ends";
    center.checkEnded(connected());
    center.orderStored(order(QStringLiteral("2")));
    center.orderStored(order(QStringLiteral("3")));
    center.orderStored(order(QStringLiteral("4")));
    center.checkEnded(connected());
    center.checkEnded(connected());
    EXPECT_EQ(surface.notices, (QStringList{QStringLiteral("Novo pedido aiqfome 12345 — Maria Silva"),
                                            QStringLiteral("3 novos pedidos aiqfome")}));
}

TEST_F(AlertCenterTest, ABookingFailingAtEveryCheckAlertsOnceUntilAcknowledged)
{
    for (int check = 0; check < 3; ++check) {
        center.bookingFailed(QStringLiteral("12345"), QStringLiteral(" - Saldo insuficiente"));
        center.checkEnded(connected());
        pass(30);
    }
    EXPECT_EQ(surface.notices,
              QStringList{QStringLiteral(
                  "Falha ao solicitar entregador — pedido aiqfome 12345: - Saldo insuficiente")});
    EXPECT_EQ(surface.flashes, 1);
    const int playsBefore = sound.plays;
    EXPECT_EQ(playsBefore, 1 + 9) << "one alert, repeating over the 90 seconds";

    center.bookingFailed(QStringLiteral("777"), QStringLiteral("Sem saldo"));
    EXPECT_EQ(surface.notices.size(), 2) << "another order's failure is told";

    center.acknowledge();
    center.bookingFailed(QStringLiteral("12345"), QStringLiteral(" - Saldo insuficiente"));
    EXPECT_EQ(surface.notices.size(), 3) << "after the acknowledgement it alerts again";
    EXPECT_TRUE(center.isActive());
}

TEST_F(AlertCenterTest, ThreeFailedChecksGiveOneOutageNoticeThenOneRecovery)
{
    struct Service
    {
        const char *name;
        CheckSummary failed;
        CheckSummary succeeded;
        QString outage;
        QString recovery;
    };
    CheckSummary courierUnreached = connected();
    courierUnreached.bookingsPosted = 2;
    courierUnreached.bookingsUnreached = 2;
    CheckSummary courierAnswered = connected();
    courierAnswered.bookingsPosted = 2;
    courierAnswered.bookingsUnreached = 1;
    const Service services[] = {
        {"marketplace", unreachable(), connected(), QStringLiteral("Aiqfome sem conexão desde 19:00"),
         QStringLiteral("Aiqfome conectado novamente")},
        {"courier platform", courierUnreached, courierAnswered,
         QStringLiteral("Trevant sem conexão desde 19:00"), QStringLiteral("Trevant conectada novamente")},
    };
    for (const Service &service : services) {
        SCOPED_TRACE(service.name);
        SettableClock at{QDateTime(QDate(2024, 3, 15), QTime(19, 0, 40))};
        RecordingSurface seen;
        AlertCenter watch{sound, seen, at};
        watch.checkEnded(service.succeeded);
        for (int check = 0; check < 5; ++check) {
            watch.checkEnded(service.failed);
            at.advance(30);
        }
        // A check that posted nothing says nothing about the courier platform.
        watch.checkEnded(CheckSummary{});
        watch.checkEnded(service.succeeded);
        watch.checkEnded(service.succeeded);
        EXPECT_EQ(seen.notices, (QStringList{service.outage, service.recovery}));
    }
}

TEST_F(AlertCenterTest, TheToolTipShowsTheCountLineAndTheLastSuccessfulCheck)
{
    center.setCountLine(QStringLiteral("3 PEDIDOS INTEGRADOS"));
    EXPECT_EQ(surface.toolTip, u"3 PEDIDOS INTEGRADOS");
    clock.set(QDateTime(QDate(2024, 3, 15), QTime(19, 4, 5)));
    center.checkEnded(connected());
    clock.advance(30);
    center.checkEnded(unreachable());
    EXPECT_EQ(surface.toolTip, u"3 PEDIDOS INTEGRADOS\nÚltima verificação: 19:04:05");
}

TEST_F(AlertCenterTest, WithTheSoundOffTheAlertStillFlashesAndNotifies)
{
    center.setSoundOn(false);
    center.orderStored(order(QStringLiteral("1")));
    center.checkEnded(connected());
    pass(30);
    EXPECT_EQ(sound.plays, 0);
    EXPECT_EQ(surface.flashes, 1);
    EXPECT_EQ(surface.notices.size(), 1);
    center.setSoundOn(true);
    pass(10);
    EXPECT_EQ(sound.plays, 1) << "switched on again, the standing alert is heard";
}

TEST_F(AlertCenterTest, AnUnknownBookingAlertsOnceAndIsHandedOverToBeAskedAtTheAcknowledgement)
{
    QList<UnknownBooking> asked;
    QObject::connect(&center, &AlertCenter::unknownBookingsToAsk,
                     [&](const QList<UnknownBooking> &bookings) { asked += bookings; });
    center.bookingOutcomeUnknown(7, QStringLiteral("12345"));
    center.checkEnded(connected());
    center.bookingOutcomeUnknown(7, QStringLiteral("12345"));
    EXPECT_EQ(sound.plays, 1);
    EXPECT_EQ(surface.notices.size(), 1);

    center.acknowledge();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.front().orderId, 7);
    EXPECT_EQ(asked.front().orderNumber, u"12345");

    // Found again by the next check while the question stands: no second alert.
    center.bookingOutcomeUnknown(7, QStringLiteral("12345"));
    EXPECT_FALSE(center.isActive());
    // Answered, and its post again ended unknown: it alerts again.
    center.unknownBookingSettled(7);
    center.bookingOutcomeUnknown(7, QStringLiteral("12345"));
    EXPECT_TRUE(center.isActive());
}

} // namespace
} // namespace brisfold::test
