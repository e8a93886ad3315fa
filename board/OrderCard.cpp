#include "board/OrderCard.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace brisfold {

std::optional<QString> formatArrivalTime(const QString &dataHora)
{
    // Year-month-day, then hours:minutes:seconds after a blank. As with the regional date
    // conversion this follows, a missing time reads as midnight and missing seconds as zero.
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(dataHora);
    if (!match.hasMatch())
        return std::nullopt;
    const auto part = [&match](int n) { return match.capturedView(n).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const QTime time(part(4), part(5), part(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // Date and time are formatted apart, so no time zone rule can move a wall-clock time.
    return date.toString(QStringLiteral("dd/MM/yyyy")) + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

CardContent DBCtrlGrid1PaintPanel(const OrderRow &row, bool automaticDispatch)
{
    CardContent card;
    // Only emptiness of the mark matters: a booked and a delivered order look alike.
    const bool marked = !row.ID_MCH.isEmpty();
    if (automaticDispatch) {
        card.requestPicture = marked ? CardContent::ok : CardContent::solicitando;
        card.requestClickable = 0;
    } else {
        card.requestPicture = marked ? CardContent::ok : CardContent::entregador4;
        card.requestClickable = 1;
    }
    card.orderLine = QStringLiteral("🧾 ") + row.IDPEDIDO;
    card.customerLine = QStringLiteral("👤 ") + row.CLIENTE;
    card.addressLine = QStringLiteral("📍 ") + row.ENDERECO;
    if (const std::optional<QString> time = formatArrivalTime(row.DATAHORA))
        card.timeLine = QStringLiteral("🕗 ") + *time;
    else
        card.errorName = QString::fromLatin1(convertErrorName);
    return card;
}

} // namespace brisfold
