#include "DispatchClaim.h"

#include "Database.h"
#include "ExtraTables.h"

namespace brisfold {

void DispatchClaim::prepare(Database &db)
{
    db.execute("CREATE TEMP TABLE IF NOT EXISTS DISPATCH_CLAIMS (ID INTEGER PRIMARY KEY)");
    db.execute("CREATE TEMP TABLE IF NOT EXISTS DISPATCH_UNMARKED (ID INTEGER PRIMARY KEY)");
    db.execute(postingsTableSql);
}

DispatchClaim::DispatchClaim(Database &db, qint64 orderId)
    : db_(db)
    , orderId_(orderId)
{
    db_.transaction([this] {
        prepare(db_);
        const ResultSet order = db_.query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", orderId_}});
        found_ = !order.isEmpty();
        mark_ = found_ ? order.text(0, u"ID_MCH") : QString();
        if (!found_ || !mark_.isEmpty())
            return;
        bookedUnmarked_ =
            db_.hasRow("SELECT ID FROM temp.DISPATCH_UNMARKED WHERE ID = :ID", {{":ID", orderId_}});
        if (bookedUnmarked_)
            return;
        outcomeUnknown_ =
            db_.hasRow("SELECT ID FROM main.SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", orderId_}});
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

void DispatchClaim::recordPosting()
{
    db_.execute("INSERT OR REPLACE INTO main.SOLICITACOES_PENDENTES (ID, DATAHORA) "
                "VALUES (:ID, strftime('%Y-%m-%d %H:%M:%S', 'now'))",
                {{":ID", orderId_}});
}

void DispatchClaim::clearPosting()
{
    db_.execute("DELETE FROM main.SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", orderId_}});
    outcomeUnknown_ = false;
}

void DispatchClaim::markBooked()
{
    try {
        // One commit: a mark without its record gone, or the reverse, would tell a wrong story.
        db_.transaction([this] {
            db_.execute("UPDATE  PEDIDOS SET ID_MCH = 'MACHINE' where ID = :ID  ", {{":ID", orderId_}});
            db_.execute("DELETE FROM main.SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", orderId_}});
        });
        outcomeUnknown_ = false;
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
