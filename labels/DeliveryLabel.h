#pragma once

#include "courier/Schedule.h"

#include <QString>
#include <optional>

namespace brisfold {

class Database;

// What the delivery label of one order prints, as stored; null texts read as empty texts.
struct DeliveryLabel
{
    QString restaurantName; // EMPRESA.NOME
    QString IDPEDIDO;
    // The arrival time as the card shows it; empty when it cannot be converted.
    QString arrivalTime;
    QString CLIENTE;
    QString TELEFONE;
    QString ENDERECO;
    QString ID_MCH;
    QString TAXAENTREGA;
    QString LATITUDE;
    QString LONGITUDE;
};

// The order's label; none when the order is gone. Throws DatabaseError.
std::optional<DeliveryLabel> readDeliveryLabel(Database &db, qint64 orderId, RegionalSeparators separators);

// "aiqfome " and the order number.
QString orderLineText(const DeliveryLabel &label);
// The courier state the mark stands for.
QString courierStateText(const QString &idMch);
// "R$ " and the fee as stored; empty when no estimate was stored.
QString feeText(const QString &taxaEntrega);
// A map search for the customer's coordinates, the stored texts unchanged; none unless both are
// numbers within the range of a latitude and a longitude.
std::optional<QString> mapLink(const QString &latitude, const QString &longitude);

} // namespace brisfold
