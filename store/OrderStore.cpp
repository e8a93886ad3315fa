#include "store/OrderStore.h"

#include "store/Database.h"

namespace brisfold {

namespace {

std::vector<DispatchOrder> dispatchOrders(const ResultSet &rows)
{
    std::vector<DispatchOrder> orders;
    orders.reserve(size_t(rows.rowCount()));
    for (int i = 0; i < rows.rowCount(); ++i) {
        DispatchOrder &order = orders.emplace_back();
        order.ID = rows.integer(i, u"ID");
        order.IDPEDIDO = rows.text(i, u"IDPEDIDO");
        order.CLIENTE = rows.text(i, u"CLIENTE");
        order.TELEFONE = rows.text(i, u"TELEFONE");
        order.ENDERECO = rows.text(i, u"ENDERECO");
        order.LATITUDE = rows.text(i, u"LATITUDE");
        order.LONGITUDE = rows.text(i, u"LONGITUDE");
    }
    return orders;
}

} // namespace

std::vector<DispatchOrder> OrderStore::awaitingCourier() const
{
    return dispatchOrders(
        db_->query("SELECT * FROM PEDIDOS WHERE (ID_MCH = '' OR ID_MCH is null) AND "
                   "DATAHORA >= strftime('%Y-%m-%d %H:%M:%S', 'now', '-13 hours') ORDER BY id ASC;"));
}

std::vector<DispatchOrder> OrderStore::outcomeUnknown() const
{
    DispatchClaim::prepare(*db_);
    // An order being booked right now, or booked in this run without its mark, is no question.
    return dispatchOrders(
        db_->query("SELECT P.* FROM PEDIDOS P JOIN SOLICITACOES_PENDENTES S ON S.ID = P.ID "
                   "WHERE (P.ID_MCH = '' OR P.ID_MCH IS NULL) "
                   "AND P.ID NOT IN (SELECT ID FROM temp.DISPATCH_CLAIMS) "
                   "AND P.ID NOT IN (SELECT ID FROM temp.DISPATCH_UNMARKED) ORDER BY P.ID ASC"));
}

void OrderStore::settleAsBooked(qint64 id)
{
    // The same mark, and the record's removal with it, as after a booking.
    DispatchClaim(*db_, id).markBooked();
}

void OrderStore::forgetPosting(qint64 id)
{
    DispatchClaim::prepare(*db_);
    db_->execute("DELETE FROM SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", id}});
}

std::optional<DispatchOrder> OrderStore::order(qint64 id) const
{
    std::vector<DispatchOrder> found =
        dispatchOrders(db_->query("SELECT * FROM PEDIDOS WHERE ID = :ID", {{":ID", id}}));
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::optional<QString> OrderStore::deliveryFee(qint64 id) const
{
    const ResultSet row = db_->query("SELECT * FROM PEDIDOS where ID = :ID  ", {{":ID", id}});
    if (row.isEmpty())
        return std::nullopt;
    return row.text(0, u"TAXAENTREGA");
}

void OrderStore::storeEstimate(qint64 id, const QString &fee, const QString &latitude,
                               const QString &longitude)
{
    db_->execute(
        "UPDATE PEDIDOS SET TAXAENTREGA = :TAXAENTREGA , LATITUDEMCH = :LATITUDEMCH , "
        "LONGITUDEMCH = :LONGITUDEMCH \nWHERE ID = :ID",
        {{":TAXAENTREGA", fee}, {":LATITUDEMCH", latitude}, {":LONGITUDEMCH", longitude}, {":ID", id}});
}

void OrderStore::markDelivered(qint64 id)
{
    db_->execute("UPDATE  PEDIDOS SET ID_MCH = 'JA ENTREGUE' where ID = :ID  ", {{":ID", id}});
}

void OrderStore::purgeOld()
{
    db_->execute(" DELETE FROM PEDIDOS \n"
                 "WHERE DATAHORA < strftime('%Y-%m-%d %H:%M:%S', 'now', '-2 days')");
}

} // namespace brisfold
