#include "store/MarketplaceCredentialsStore.h"

#include "store/Database.h"

namespace brisfold {

namespace {

const char *firstRow = "SELECT * FROM CONFIGDELIVERY ORDER BY ID LIMIT 1";

} // namespace

std::vector<MarketplaceCredentials> MarketplaceCredentialsStore::all() const
{
    const ResultSet rows = db_->query("SELECT * FROM CONFIGDELIVERY");
    std::vector<MarketplaceCredentials> credentials;
    credentials.reserve(size_t(rows.rowCount()));
    for (int i = 0; i < rows.rowCount(); ++i)
        credentials.push_back({rows.integer(i, u"ID"), rows.text(i, u"LOGIN"), rows.text(i, u"SENHA")});
    return credentials;
}

bool MarketplaceCredentialsStore::any() const
{
    return db_->hasRow("SELECT * FROM CONFIGDELIVERY");
}

MarketplaceCredentials MarketplaceCredentialsStore::first(bool *added)
{
    ResultSet row = db_->query(firstRow);
    if (added)
        *added = row.isEmpty();
    if (row.isEmpty()) {
        db_->execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,EMPRESA,LOGIN,SENHA,TOKEN,VALIDADE) "
                     "VALUES (NULL,NULL,NULL,NULL,NULL,NULL,NULL)");
        row = db_->query(firstRow);
    }
    return {row.integer(0, u"ID"), row.text(0, u"LOGIN"), row.text(0, u"SENHA")};
}

void MarketplaceCredentialsStore::save(qint64 id, const QString &login, const QString &senha)
{
    const int changed = db_->execute("UPDATE CONFIGDELIVERY SET IDORIGEM = :IDORIGEM, ORIGEM = :ORIGEM, "
                                     "LOGIN = :LOGIN, SENHA = :SENHA WHERE ID = :ID",
                                     {{":IDORIGEM", qint64(1)},
                                      {":ORIGEM", QStringLiteral("AIQFOME")},
                                      {":LOGIN", login},
                                      {":SENHA", senha},
                                      {":ID", id}});
    if (changed == 0) {
        db_->execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES "
                     "(:IDORIGEM,:ORIGEM,:LOGIN,:SENHA)",
                     {{":IDORIGEM", qint64(1)},
                      {":ORIGEM", QStringLiteral("AIQFOME")},
                      {":LOGIN", login},
                      {":SENHA", senha}});
    }
}

} // namespace brisfold
