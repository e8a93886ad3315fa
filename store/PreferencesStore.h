#pragma once

#include <QString>
#include <optional>

namespace brisfold {

class Database;

// PREFERENCIAS: the user's choices for the features beyond the board, key and text value.
class PreferencesStore final
{
public:
    explicit PreferencesStore(Database &db)
        : db_(&db)
    {}

    // None when the key, or the table itself, is missing. Throws DatabaseError otherwise.
    std::optional<QString> value(const QString &key) const;
    // Makes the table when missing. Throws DatabaseError.
    void setValue(const QString &key, const QString &value);

    // "Som de alerta": on unless switched off.
    bool alertSound() const;
    void setAlertSound(bool on);

    // "Imprimir etiqueta dos pedidos novos": off unless switched on.
    bool printNewOrders() const;
    void setPrintNewOrders(bool on);
    // The printer chosen for the labels; empty for the system's default one.
    QString printerName() const;
    void setPrinterName(const QString &name);

private:
    Database *db_;
};

} // namespace brisfold
