#include "ExtraTables.h"

#include "Database.h"

namespace brisfold {

void ensureExtraTables(Database &db)
{
    db.execute(preferencesTableSql);
    db.execute(postingsTableSql);
}

} // namespace brisfold
