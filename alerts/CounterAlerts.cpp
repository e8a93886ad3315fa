#include "alerts/CounterAlerts.h"

#include "alerts/TrayIcon.h"
#include "common/BackgroundCall.h"
#include "platform/AlertSound.h"
#include "platform/Platform.h"
#include "store/Database.h"
#include "store/OrderStore.h"
#include "store/PreferencesStore.h"
#include "supportlog/EventLog.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace brisfold {

namespace {

bool soundPreference(Database &db)
{
    try {
        return PreferencesStore(db).alertSound();
    } catch (const DatabaseError &) {
        return true;
    }
}

} // namespace

CounterAlerts::CounterAlerts(QWidget &window, Platform &platform, MessageBoxes &messages, Database &db,
                             const Clock &clock, QObject *parent)
    : QObject(parent)
    , window_(window)
    , platform_(platform)
    , messages_(messages)
    , db_(db)
    , sound_(platform.createAlertSound(newOrderAlertWav()))
    , call_(std::make_unique<BackgroundCall>())
{
    const bool soundOn = soundPreference(db);
    tray_ = new TrayIcon(soundOn, this);
    center_ = new AlertCenter(*sound_, *this, clock, this);
    center_->setSoundOn(soundOn);

    connect(tray_, &TrayIcon::openRequested, this, &CounterAlerts::openWindow);
    connect(tray_, &TrayIcon::notificationClicked, this, &CounterAlerts::openWindow);
    connect(tray_, &TrayIcon::soundToggled, this, &CounterAlerts::setSoundOn);
    // Through the window's own closing question.
    connect(tray_, &TrayIcon::quitRequested, &window_, &QWidget::close);
    // Asked after the click that acknowledged has been delivered, not inside it.
    connect(center_, &AlertCenter::unknownBookingsToAsk, this, &CounterAlerts::ask, Qt::QueuedConnection);
    qApp->installEventFilter(this);
}

CounterAlerts::~CounterAlerts()
{
    qApp->removeEventFilter(this);
}

bool CounterAlerts::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) &&
        center_->isActive() && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == &window_)
        center_->acknowledge();
    // Never consumed: the click or key still does what it does.
    return QObject::eventFilter(watched, event);
}

void CounterAlerts::notify(const QString &text)
{
    tray_->notify(text);
}

void CounterAlerts::setToolTip(const QString &text)
{
    tray_->setToolTip(text);
}

void CounterAlerts::flash()
{
    QApplication::alert(&window_);
}

void CounterAlerts::openWindow()
{
    platform_.bringToFront(window_.windowHandle());
    center_->acknowledge();
}

void CounterAlerts::setSoundOn(bool on)
{
    center_->setSoundOn(on);
    try {
        PreferencesStore(db_).setAlertSound(on);
    } catch (const DatabaseError &e) {
        messages_.showMessage(&window_, e.text());
    }
}

void CounterAlerts::ask(const QList<UnknownBooking> &bookings)
{
    for (const UnknownBooking &booking : bookings) {
        const bool postAgain = messages_.askYesNo(&window_, unknownOutcomeQuestion(booking.orderNumber));
        eventlog::write(eventlog::unknownOutcomeAnswered(booking.orderNumber, postAgain));
        if (postAgain) {
            bookAgain(booking);
            continue;
        }
        // Não: the user saw the booking on the platform.
        try {
            OrderStore(db_).settleAsBooked(booking.orderId);
        } catch (const DatabaseError &e) {
            messages_.showMessage(&window_, e.text());
        }
        center_->unknownBookingSettled(booking.orderId);
    }
}

void CounterAlerts::bookAgain(const UnknownBooking &booking)
{
    if (!prepareBookAgain_) {
        center_->unknownBookingSettled(booking.orderId);
        return;
    }
    toBookAgain_.append(booking);
    startNextBooking();
}

void CounterAlerts::startNextBooking()
{
    // One post at a time; the others follow as each one ends.
    if (call_->isBusy() || toBookAgain_.isEmpty())
        return;
    const UnknownBooking next = toBookAgain_.takeFirst();
    auto result = std::make_shared<BookingResult>();
    call_->start(
        [job = prepareBookAgain_(next.orderId), result] {
            *result = job();
            return result->text;
        },
        [this, next, result](const QString &) {
            center_->unknownBookingSettled(next.orderId);
            if (!result->booked()) {
                emit statusText(QStringLiteral("Erro: ") + result->text);
                if (!result->outcomeUnknown)
                    center_->bookingFailed(next.orderNumber, result->text);
            }
            // Queued: `done` returns before the next start, while the call is still busy.
            QMetaObject::invokeMethod(this, &CounterAlerts::startNextBooking, Qt::QueuedConnection);
        });
}

} // namespace brisfold
