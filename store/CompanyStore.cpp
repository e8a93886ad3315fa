#include "store/CompanyStore.h"

#include "store/Database.h"

namespace brisfold {

namespace {

std::optional<CompanyProfile> firstProfile(const ResultSet &rows)
{
    if (rows.isEmpty())
        return std::nullopt;
    const auto column = [&rows](QStringView name) { return rows.text(0, name); };
    CompanyProfile p;
    p.IDMACHINE = column(u"IDMACHINE");
    p.NOME = column(u"NOME");
    p.ENDERECO = column(u"ENDERECO");
    p.BAIRRO = column(u"BAIRRO");
    p.CIDADE = column(u"CIDADE");
    p.UF = column(u"UF");
    p.CEP = column(u"CEP");
    p.LAT = column(u"LAT");
    p.LNG = column(u"LNG");
    p.STATUS = column(u"STATUS");
    p.TIPOSPAGAMENTOS = column(u"TIPOSPAGAMENTOS");
    p.CATEGORIAS = column(u"CATEGORIAS");
    p.AUTOCONNECT = column(u"AUTOCONNECT");
    p.EMAIL = column(u"EMAIL");
    p.SENHA = column(u"SENHA");
    p.TELEFONE = column(u"TELEFONE");
    p.DOCUMENTO = column(u"DOCUMENTO");
    return p;
}

} // namespace

std::optional<CompanyProfile> CompanyStore::read() const
{
    return firstProfile(db_->query("SELECT * FROM EMPRESA"));
}

std::optional<CompanyProfile> CompanyStore::readBeforeEstimate() const
{
    return firstProfile(db_->query("SELECT * FROM EMPRESA "));
}

void CompanyStore::replace(const CompanyProfile &p)
{
    db_->transaction([&] {
        db_->execute("DELETE FROM EMPRESA");
        db_->execute("INSERT INTO EMPRESA (IDMACHINE,NOME,ENDERECO,BAIRRO,CIDADE,UF,CEP,LAT,LNG,STATUS,"
                     "TIPOSPAGAMENTOS,CATEGORIAS,AUTOCONNECT,EMAIL,SENHA,TELEFONE,DOCUMENTO) VALUES "
                     "(:IDMACHINE,:NOME,:ENDERECO,:BAIRRO,:CIDADE,:UF,:CEP,:LAT,:LNG,:STATUS,"
                     ":TIPOSPAGAMENTOS,:CATEGORIAS,:AUTOCONNECT,:EMAIL,:SENHA,:TELEFONE,:DOCUMENTO)",
                     {{":IDMACHINE", p.IDMACHINE},
                      {":NOME", p.NOME},
                      {":ENDERECO", p.ENDERECO},
                      {":BAIRRO", p.BAIRRO},
                      {":CIDADE", p.CIDADE},
                      {":UF", p.UF},
                      {":CEP", p.CEP},
                      {":LAT", p.LAT},
                      {":LNG", p.LNG},
                      {":STATUS", p.STATUS},
                      {":TIPOSPAGAMENTOS", p.TIPOSPAGAMENTOS},
                      {":CATEGORIAS", p.CATEGORIAS},
                      {":AUTOCONNECT", p.AUTOCONNECT},
                      {":EMAIL", p.EMAIL},
                      {":SENHA", p.SENHA},
                      {":TELEFONE", p.TELEFONE},
                      {":DOCUMENTO", p.DOCUMENTO}});
    });
}

void CompanyStore::clear()
{
    db_->execute("DELETE FROM EMPRESA");
}

} // namespace brisfold
