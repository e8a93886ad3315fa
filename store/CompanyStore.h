#pragma once

#include <QString>
#include <optional>

namespace brisfold {

class Database;

// The signed-in company's profile on the courier platform: the one row of EMPRESA. Null texts
// read as empty texts.
struct CompanyProfile
{
    QString IDMACHINE;
    QString NOME;
    QString ENDERECO;
    QString BAIRRO;
    QString CIDADE;
    QString UF;
    QString CEP;
    QString LAT;
    QString LNG;
    QString STATUS;
    QString TIPOSPAGAMENTOS; // a bracketed list of payment codes
    QString CATEGORIAS;      // a bracketed list of courier categories
    QString AUTOCONNECT;     // "S" signs in by itself at the next start
    QString EMAIL;
    QString SENHA;
    QString TELEFONE;
    QString DOCUMENTO;
};

// EMPRESA over a connection that outlives this handle. Every call throws DatabaseError.
class CompanyStore final
{
public:
    explicit CompanyStore(Database &db)
        : db_(&db)
    {}

    // The stored profile; none while signed out.
    std::optional<CompanyProfile> read() const;
    // The same, by the dispatch dialog's own statement before every fee estimate.
    std::optional<CompanyProfile> readBeforeEstimate() const;
    // Makes `profile` the table's only row, in one transaction, so a failed insert never
    // leaves the company without its row.
    void replace(const CompanyProfile &profile);
    // The sign-out: no stored sign-in is left for the next start.
    void clear();

private:
    Database *db_;
};

} // namespace brisfold
