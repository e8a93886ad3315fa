#pragma once

#include "alerts/AlertCenter.h"
#include "courier/CourierBooking.h"

#include <QObject>
#include <functional>
#include <memory>

class QWidget;

namespace brisfold {

class AlertSound;
class BackgroundCall;
class Clock;
class Database;
class MessageBoxes;
class Platform;
class TrayIcon;

// The alerts as the counter meets them: the sound through the platform, the tray icon and its
// menu, the taskbar flash of the main window, the acknowledgement by any click or key in that
// window, and the question about each booking of unknown outcome. The window connects the
// checks to center() and gives the book-again step; nothing here changes what a check does.
class CounterAlerts final : public QObject, private AlertSurface
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CounterAlerts)

public:
    // The post of an order again, run on a worker.
    using BookAgainJob = std::function<BookingResult()>;

    CounterAlerts(QWidget &window, Platform &platform, MessageBoxes &messages, Database &db,
                  const Clock &clock, QObject *parent = nullptr);
    ~CounterAlerts() override;

    AlertCenter &center() { return *center_; }
    TrayIcon &tray() { return *tray_; }
    // Called on the UI thread when the user answers Sim, to read the window's settings then.
    void setBookAgain(std::function<BookAgainJob(qint64 orderId)> prepare)
    {
        prepareBookAgain_ = std::move(prepare);
    }

signals:
    // A text for the second status-bar panel: the outcome of a booking made again.
    void statusText(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void notify(const QString &text) override;
    void setToolTip(const QString &text) override;
    void flash() override;

    void openWindow();
    void setSoundOn(bool on);
    void ask(const QList<UnknownBooking> &bookings);
    void bookAgain(const UnknownBooking &booking);
    void startNextBooking();

    QWidget &window_;
    Platform &platform_;
    MessageBoxes &messages_;
    Database &db_;
    std::unique_ptr<AlertSound> sound_;
    TrayIcon *tray_;
    AlertCenter *center_;
    std::function<BookAgainJob(qint64)> prepareBookAgain_;
    QList<UnknownBooking> toBookAgain_;
    std::unique_ptr<BackgroundCall> call_;
};

} // namespace brisfold
