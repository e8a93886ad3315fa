#include "alerts/AlertCenter.h"

#include "common/Clock.h"
#include "platform/AlertSound.h"

#include <QTimer>

namespace brisfold {

AlertCenter::AlertCenter(AlertSound &sound, AlertSurface &surface, const Clock &clock, QObject *parent)
    : QObject(parent)
    , sound_(sound)
    , surface_(surface)
    , clock_(clock)
    , repeat_(new QTimer(this))
    , marketplace_(QStringLiteral("Aiqfome"), QStringLiteral("Aiqfome conectado novamente"))
    , courier_(QStringLiteral("Trevant"), QStringLiteral("Trevant conectada novamente"))
{
    // Runs only while an alert stands, so an idle counter costs nothing.
    repeat_->setInterval(1000);
    connect(repeat_, &QTimer::timeout, this, &AlertCenter::tick);
}

AlertCenter::~AlertCenter() = default;

void AlertCenter::orderStored(const StoredOrder &order)
{
    newOrders_.append(order);
    raise();
}

void AlertCenter::bookingFailed(const QString &orderNumber, const QString &result)
{
    // The same order failing at every check alerts once until somebody has seen it.
    if (failedAlerted_.contains(orderNumber))
        return;
    failedAlerted_.insert(orderNumber);
    raise();
    surface_.notify(QStringLiteral("Falha ao solicitar entregador — pedido aiqfome %1: %2")
                        .arg(orderNumber, result.trimmed()));
}

void AlertCenter::bookingOutcomeUnknown(qint64 orderId, const QString &orderNumber)
{
    if (unknownAlerted_.contains(orderId))
        return;
    unknownAlerted_.insert(orderId);
    unknownToAsk_.append(UnknownBooking{orderId, orderNumber});
    raise();
    surface_.notify(
        QStringLiteral("Não sabemos se a Trevant recebeu o pedido aiqfome %1. Confira na página de gestão.")
            .arg(orderNumber));
}

void AlertCenter::unknownBookingSettled(qint64 orderId)
{
    unknownAlerted_.remove(orderId);
}

void AlertCenter::checkEnded(const CheckSummary &summary)
{
    notifyNewOrders();
    const QDateTime now = clock_.now();
    if (summary.marketplaceTried) {
        const std::optional<QString> notice =
            summary.marketplaceConnected ? marketplace_.succeeded() : marketplace_.failed(now);
        if (notice)
            surface_.notify(*notice);
    }
    if (summary.marketplaceConnected)
        lastSuccessfulCheck_ = now;
    // A check that posted nothing says nothing about the courier platform.
    if (summary.bookingsPosted > 0) {
        const std::optional<QString> notice =
            summary.bookingsUnreached == summary.bookingsPosted ? courier_.failed(now) : courier_.succeeded();
        if (notice)
            surface_.notify(*notice);
    }
    updateToolTip();
}

void AlertCenter::setCountLine(const QString &text)
{
    countLine_ = text;
    updateToolTip();
}

void AlertCenter::acknowledge()
{
    active_ = false;
    repeat_->stop();
    failedAlerted_.clear();
    if (unknownToAsk_.isEmpty())
        return;
    const QList<UnknownBooking> toAsk = std::exchange(unknownToAsk_, {});
    emit unknownBookingsToAsk(toAsk);
}

void AlertCenter::tick()
{
    if (active_ && clock_.now() >= nextPlay_)
        play();
}

void AlertCenter::raise()
{
    if (active_)
        return;
    active_ = true;
    play();
    surface_.flash();
    repeat_->start();
}

void AlertCenter::play()
{
    nextPlay_ = clock_.now().addSecs(repeatSeconds);
    if (soundOn_)
        sound_.play();
}

void AlertCenter::updateToolTip()
{
    QString text = countLine_;
    if (lastSuccessfulCheck_.isValid()) {
        if (!text.isEmpty())
            text += u'\n';
        text += QStringLiteral("Última verificação: ") +
                lastSuccessfulCheck_.toString(QStringLiteral("HH:mm:ss"));
    }
    surface_.setToolTip(text);
}

void AlertCenter::notifyNewOrders()
{
    if (newOrders_.isEmpty())
        return;
    if (newOrders_.size() == 1) {
        const StoredOrder &order = newOrders_.front();
        surface_.notify(
            QStringLiteral("Novo pedido aiqfome %1 — %2").arg(order.IDPEDIDO, order.CLIENTE.trimmed()));
    } else {
        surface_.notify(QStringLiteral("%1 novos pedidos aiqfome").arg(newOrders_.size()));
    }
    newOrders_.clear();
}

} // namespace brisfold
