#pragma once

#include "alerts/OutageWatch.h"
#include "cycle/MarketplaceCheck.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QTimer;

namespace brisfold {

class AlertSound;
class Clock;

// Where an alert shows besides its sound: the tray's notification and tooltip, and the taskbar
// entry. The window's tray gives the real one; the tests record.
class AlertSurface
{
public:
    virtual ~AlertSurface() = default;
    virtual void notify(const QString &text) = 0;
    virtual void setToolTip(const QString &text) = 0;
    virtual void flash() = 0;
};

// An order whose earlier post may have reached the courier platform.
struct UnknownBooking
{
    qint64 orderId = 0;
    QString orderNumber;
};

// The counter's alerts. It listens to the checks and never changes what they do: new orders,
// failed automatic bookings and bookings of unknown outcome start one alert, whose sound
// repeats every ten seconds until somebody acknowledges it; outages and recoveries of either
// service are told once. All on the UI thread.
class AlertCenter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertCenter)

public:
    static constexpr int repeatSeconds = 10;

    AlertCenter(AlertSound &sound, AlertSurface &surface, const Clock &clock, QObject *parent = nullptr);
    ~AlertCenter() override;

    // "Som de alerta"; the alert still flashes and notifies while it is off.
    void setSoundOn(bool on) { soundOn_ = on; }
    bool soundOn() const { return soundOn_; }
    // True from an alert until its acknowledgement.
    bool isActive() const { return active_; }

public slots:
    void orderStored(const StoredOrder &order);
    void bookingFailed(const QString &orderNumber, const QString &result);
    void bookingOutcomeUnknown(qint64 orderId, const QString &orderNumber);
    // The user answered for it: a later post of it that ends unknown alerts again.
    void unknownBookingSettled(qint64 orderId);
    void checkEnded(const CheckSummary &summary);
    // The board's count line, for the tooltip.
    void setCountLine(const QString &text);
    // Somebody has seen it: the repetition stops at once. Bookings of unknown outcome that have
    // not been asked about yet are handed over to be asked now.
    void acknowledge();
    // Plays the sound again when its ten seconds are up; a one-second timer calls it while an
    // alert stands, and the tests call it after moving their clock.
    void tick();

signals:
    void unknownBookingsToAsk(const QList<UnknownBooking> &bookings);

private:
    void raise();
    void play();
    void updateToolTip();
    void notifyNewOrders();

    AlertSound &sound_;
    AlertSurface &surface_;
    const Clock &clock_;
    QTimer *repeat_;
    bool soundOn_ = true;
    bool active_ = false;
    QDateTime nextPlay_;
    // Stored by the running check, told as one notification when it ends.
    QList<StoredOrder> newOrders_;
    // Orders whose failure has alerted since the last acknowledgement.
    QSet<QString> failedAlerted_;
    // Unknown bookings alerted and not yet settled; those not yet handed over to be asked.
    QSet<qint64> unknownAlerted_;
    QList<UnknownBooking> unknownToAsk_;
    OutageWatch marketplace_;
    OutageWatch courier_;
    QString countLine_;
    QDateTime lastSuccessfulCheck_;
};

} // namespace brisfold

Q_DECLARE_METATYPE(brisfold::UnknownBooking)
