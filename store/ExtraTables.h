#pragma once

namespace brisfold {

class Database;

// The tables of the program's own features, beside the four that other programs share: the user's
// preferences and the bookings being posted. Made when missing, so an older database keeps
// working; the four tables are never altered.
inline constexpr char preferencesTableSql[] =
    "CREATE TABLE IF NOT EXISTS PREFERENCIAS (CHAVE TEXT PRIMARY KEY, VALOR TEXT)";
// One row per order whose booking is being posted, written before the post and removed with the
// order's mark; a row left behind means the platform may have the booking without the program
// knowing.
inline constexpr char postingsTableSql[] =
    "CREATE TABLE IF NOT EXISTS SOLICITACOES_PENDENTES (ID INTEGER PRIMARY KEY, DATAHORA TEXT)";

// Makes both tables when missing. Throws DatabaseError (a read-only file, say); every reader of
// them treats a missing table as empty.
void ensureExtraTables(Database &db);

} // namespace brisfold
