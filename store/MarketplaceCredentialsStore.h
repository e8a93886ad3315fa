#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace brisfold {

class Database;

// One row of the marketplace credentials; null texts read as empty texts.
struct MarketplaceCredentials
{
    qint64 ID = 0;
    QString LOGIN;
    QString SENHA;
};

// CONFIGDELIVERY over a connection that outlives this handle. Every call throws DatabaseError.
class MarketplaceCredentialsStore final
{
public:
    explicit MarketplaceCredentialsStore(Database &db)
        : db_(&db)
    {}

    // Every row, read before any is used, so a table missing a column fails here as a whole.
    std::vector<MarketplaceCredentials> all() const;
    // Whether the integration was ever configured: any row at all, an empty one included.
    bool any() const;
    // The row the credentials dialog edits: the table's first. An empty table first gets an
    // empty row, so that a row exists for the cycle and for saving; `added` tells.
    MarketplaceCredentials first(bool *added = nullptr);
    // Stores the user name and password in row `id`, marked as the aiqfome origin. A row that
    // has gone since it was read is replaced by a new one. The other columns stay as they are.
    void save(qint64 id, const QString &login, const QString &senha);

private:
    Database *db_;
};

} // namespace brisfold
