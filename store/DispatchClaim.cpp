#include "DispatchClaim.h"

#include "Database.h"

namespace brisfold {

DispatchClaim::DispatchClaim(Database &db, qint64 orderId)
    : db_(db)
    , orderId_(orderId)
{
    db_.transaction([this] {
        db_.execute("CREATE TEMP TABLE IF NOT EXISTS DISPATCH_CLAIMS (ID INTEGER PRIMARY KEY)");
        db_.execute("CREATE TEMP TABLE IF NOT EXISTS DISPATCH_UNMARKED (ID INTEGER PRIMARY KEY)");
        const ResultSet order = db_.query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", orderId_}});
        found_ = !order.isEmpty();
        mark_ = found_ ? order.text(0, u"ID_MCH") : QString();
        if (!found_ || !mark_.isEmpty())
            return;
        bookedUnmarked_ =
            db_.hasRow("SELECT ID FROM temp.DISPATCH_UNMARKED WHERE ID = :ID", {{":ID", orderId_}});
        if (bookedUnmarked_)
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

void DispatchClaim::markBooked()
{
    try {
        db_.execute("UPDATE  PEDIDOS SET ID_MCH = 'MACHINE' where ID = :ID  ", {{":ID", orderId_}});
    } catch (const DatabaseError &) {
        try {
            db_.execute("INSERT OR IGNORE INTO temp.DISPATCH_UNMARKED (ID) VALUES (:ID)",
                        {{":ID", orderId_}});
        } catch (const DatabaseError &) {
            // Nothing more to hold on to; the caller reports the first error.
        }
        throw;
    }
    if (bookedUnmarked_)
        db_.execute("DELETE FROM temp.DISPATCH_UNMARKED WHERE ID = :ID", {{":ID", orderId_}});
}

} // namespace brisfold
