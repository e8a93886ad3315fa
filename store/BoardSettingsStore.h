#pragma once

#include <QString>

namespace brisfold {

class Database;

// The board settings: the automatic-dispatch switch and the values it books with, as the menu
// panel shows them and CONFIGURACAO keeps them.
struct BoardSettings
{
    bool enabled = false; // SOLICITACAOAUTOMATICO 1, the switch ticked
    QString minutes;      // TEMPOAGENDAMENTO, the minutes box's text
    QString payment;      // PAGAMENTOPADRAO, a payment list's text
    QString category;     // CATEGORIAPADRAO
    QString returnChoice; // RETORNOPADRAO, "Sim" or "Não"
};

// CONFIGURACAO over a connection that outlives this handle. Every call throws DatabaseError.
class BoardSettingsStore final
{
public:
    explicit BoardSettingsStore(Database &db)
        : db_(&db)
    {}

    // The stored row; without one, empty texts and the switch off.
    BoardSettings read() const;
    // Replaces the row as a whole, in one transaction, so a failed insert keeps the old row.
    void save(const BoardSettings &settings);

private:
    Database *db_;
};

} // namespace brisfold
