#pragma once

#include "store/DispatchClaim.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

namespace brisfold {

class Database;

// One order as a booking needs it, from PEDIDOS; null texts read as empty texts.
struct DispatchOrder
{
    qint64 ID = 0;
    QString IDPEDIDO; // the marketplace's number, without the "aiqfome " of the document
    QString CLIENTE;
    QString TELEFONE;
    QString ENDERECO;
    QString LATITUDE;
    QString LONGITUDE;
};

// PEDIDOS as the windows and the automatic dispatch change it, over a connection that outlives
// this handle. The board's own query is the board's; the import is the marketplace client's.
// Every call throws DatabaseError.
class OrderStore final
{
public:
    explicit OrderStore(Database &db)
        : db_(&db)
    {}

    // The automatic dispatch's selection: the orders of the last 13 hours without a courier
    // mark, null or empty alike, in ascending ID.
    std::vector<DispatchOrder> awaitingCourier() const;
    // One order by its row ID; none when it is gone.
    std::optional<DispatchOrder> order(qint64 id) const;
    // The order's estimated fee as stored; none when the order is gone.
    std::optional<QString> deliveryFee(qint64 id) const;
    // Keeps a fee estimate and the coordinates the platform resolved with it.
    void storeEstimate(qint64 id, const QString &fee, const QString &latitude, const QString &longitude);
    // The "Já foi entregue" mark.
    void markDelivered(qint64 id);
    // Takes a booking's claim on the order (see DispatchClaim).
    DispatchClaim claim(qint64 id) { return DispatchClaim(*db_, id); }
    // The same, for a booking whose post and mark run on a worker that keeps the claim.
    std::shared_ptr<DispatchClaim> sharedClaim(qint64 id)
    {
        return std::make_shared<DispatchClaim>(*db_, id);
    }
    // Unmarked orders whose post may have reached the platform, in ascending ID (see
    // DispatchClaim); none while the record's table is missing.
    std::vector<DispatchOrder> outcomeUnknown() const;
    // The user saw the booking on the platform: the "MACHINE" mark, and the record goes with it.
    void settleAsBooked(qint64 id);
    // The user wants it posted again: the record goes, so the next booking may post it.
    void forgetPosting(qint64 id);
    // The sign-in's purge: orders that arrived more than two days ago by the engine's clock.
    void purgeOld();

private:
    Database *db_;
};

} // namespace brisfold
