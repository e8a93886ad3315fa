#include "PreferencesStore.h"

#include "Database.h"
#include "ExtraTables.h"

namespace brisfold {

namespace {

const QString alertSoundKey = QStringLiteral("SOM_ALERTA");
const QString printNewOrdersKey = QStringLiteral("IMPRIMIR_ETIQUETA_NOVOS");
const QString printerNameKey = QStringLiteral("IMPRESSORA_ETIQUETA");

} // namespace

std::optional<QString> PreferencesStore::value(const QString &key) const
{
    if (!db_->hasRow("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'PREFERENCIAS'"))
        return std::nullopt;
    const ResultSet row =
        db_->query("SELECT VALOR FROM PREFERENCIAS WHERE CHAVE = :CHAVE", {{":CHAVE", key}});
    if (row.isEmpty())
        return std::nullopt;
    return row.text(0, u"VALOR");
}

void PreferencesStore::setValue(const QString &key, const QString &value)
{
    db_->transaction([&] {
        db_->execute(preferencesTableSql);
        db_->execute("INSERT INTO PREFERENCIAS (CHAVE, VALOR) VALUES (:CHAVE, :VALOR) "
                     "ON CONFLICT (CHAVE) DO UPDATE SET VALOR = excluded.VALOR",
                     {{":CHAVE", key}, {":VALOR", value}});
    });
}

bool PreferencesStore::alertSound() const
{
    return value(alertSoundKey).value_or(QStringLiteral("1")) != QStringLiteral("0");
}

void PreferencesStore::setAlertSound(bool on)
{
    setValue(alertSoundKey, on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool PreferencesStore::printNewOrders() const
{
    return value(printNewOrdersKey).value_or(QStringLiteral("0")) == QStringLiteral("1");
}

void PreferencesStore::setPrintNewOrders(bool on)
{
    setValue(printNewOrdersKey, on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString PreferencesStore::printerName() const
{
    return value(printerNameKey).value_or(QString());
}

void PreferencesStore::setPrinterName(const QString &name)
{
    setValue(printerNameKey, name);
}

} // namespace brisfold
