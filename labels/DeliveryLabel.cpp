#include "labels/DeliveryLabel.h"

#include "board/OrderCard.h"
#include "store/Database.h"

#include <cmath>

namespace brisfold {

namespace {

// The coordinate as a number within `limit`, or none. Blanks around it are not part of it.
std::optional<QString> coordinate(const QString &text, double limit)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > limit)
        return std::nullopt;
    return trimmed;
}

} // namespace

std::optional<DeliveryLabel> readDeliveryLabel(Database &db, qint64 orderId, RegionalSeparators separators)
{
    // One statement, so the company name and the order are read at the same moment.
    const ResultSet rows =
        db.query("SELECT IDPEDIDO, CLIENTE, TELEFONE, ENDERECO, ID_MCH, TAXAENTREGA, LATITUDE, LONGITUDE, "
                 "DATAHORA, (SELECT NOME FROM EMPRESA LIMIT 1) AS EMPRESA_NOME FROM PEDIDOS WHERE ID = :ID",
                 {{":ID", orderId}});
    if (rows.isEmpty())
        return std::nullopt;
    DeliveryLabel label;
    label.restaurantName = rows.text(0, u"EMPRESA_NOME");
    label.IDPEDIDO = rows.text(0, u"IDPEDIDO");
    label.arrivalTime = formatArrivalTime(rows.text(0, u"DATAHORA"), separators).value_or(QString());
    label.CLIENTE = rows.text(0, u"CLIENTE");
    label.TELEFONE = rows.text(0, u"TELEFONE");
    label.ENDERECO = rows.text(0, u"ENDERECO");
    label.ID_MCH = rows.text(0, u"ID_MCH");
    label.TAXAENTREGA = rows.text(0, u"TAXAENTREGA");
    label.LATITUDE = rows.text(0, u"LATITUDE");
    label.LONGITUDE = rows.text(0, u"LONGITUDE");
    return label;
}

QString orderLineText(const DeliveryLabel &label)
{
    return QStringLiteral("aiqfome ") + label.IDPEDIDO;
}

QString courierStateText(const QString &idMch)
{
    if (idMch.isEmpty())
        return QStringLiteral("Aguardando entregador");
    if (idMch == u"JA ENTREGUE")
        return QStringLiteral("Já entregue");
    return QStringLiteral("Entregador solicitado");
}

QString feeText(const QString &taxaEntrega)
{
    return taxaEntrega.isEmpty() ? QString() : QStringLiteral("R$ ") + taxaEntrega;
}

std::optional<QString> mapLink(const QString &latitude, const QString &longitude)
{
    const std::optional<QString> lat = coordinate(latitude, 90);
    const std::optional<QString> lng = coordinate(longitude, 180);
    if (!lat || !lng)
        return std::nullopt;
    return QStringLiteral("https://www.google.com/maps/search/?api=1&query=%1,%2").arg(*lat, *lng);
}

} // namespace brisfold
