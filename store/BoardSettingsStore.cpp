#include "store/BoardSettingsStore.h"

#include "store/Database.h"

namespace brisfold {

BoardSettings BoardSettingsStore::read() const
{
    const ResultSet rows = db_->query("SELECT * FROM CONFIGURACAO");
    BoardSettings settings;
    if (rows.isEmpty())
        return settings;
    settings.enabled = rows.integer(0, u"SOLICITACAOAUTOMATICO") == 1;
    settings.minutes = rows.text(0, u"TEMPOAGENDAMENTO");
    settings.payment = rows.text(0, u"PAGAMENTOPADRAO");
    settings.category = rows.text(0, u"CATEGORIAPADRAO");
    settings.returnChoice = rows.text(0, u"RETORNOPADRAO");
    return settings;
}

void BoardSettingsStore::save(const BoardSettings &settings)
{
    db_->transaction([&] {
        db_->execute("DELETE FROM CONFIGURACAO");
        db_->execute("INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO,CATEGORIAPADRAO,"
                     "PAGAMENTOPADRAO,RETORNOPADRAO) VALUES (:NOME,:SOLICITACAOAUTOMATICO,:TEMPOAGENDAMENTO,"
                     ":CATEGORIAPADRAO,:PAGAMENTOPADRAO,:RETORNOPADRAO)",
                     {{":NOME", QStringLiteral("PADRAO")},
                      {":SOLICITACAOAUTOMATICO", qint64(settings.enabled ? 1 : 0)},
                      {":TEMPOAGENDAMENTO", settings.minutes},
                      {":CATEGORIAPADRAO", settings.category},
                      {":PAGAMENTOPADRAO", settings.payment},
                      {":RETORNOPADRAO", settings.returnChoice}});
    });
}

} // namespace brisfold
