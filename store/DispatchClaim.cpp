#include "DispatchClaim.h"

#include "Database.h"

namespace brisfold {

DispatchClaim::DispatchClaim(Database &db, qint64 orderId)
    : db_(db)
    , orderId_(orderId)
{
    db_.transaction([this] {
        db_.execute("CREATE TEMP TABLE IF NOT EXISTS DISPATCH_CLAIMS (ID INTEGER PRIMARY KEY)");
        const ResultSet order = db_.query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", orderId_}});
        found_ = !order.isEmpty();
        mark_ = found_ ? order.text(0, u"ID_MCH") : QString();
        if (!found_ || !mark_.isEmpty())
            return;
        held_ = db_.execute("INSERT OR IGNORE INTO temp.DISPATCH_CLAIMS (ID) VALUES (:ID)",
                            {{":ID", orderId_}}) == 1;
    });
}

DispatchClaim::~DispatchClaim()
{
    if (!held_)
        return;
    try {
        db_.execute("DELETE FROM temp.DISPATCH_CLAIMS WHERE ID = :ID", {{":ID", orderId_}});
    } catch (const DatabaseError &) {
        // The claim then lasts until the program ends; the order's mark still tells the truth.
    }
}

} // namespace brisfold
