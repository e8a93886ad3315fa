#include "PreferencesStore.h"

#include "Database.h"
#include "ExtraTables.h"

namespace brisfold {

namespace {

const QString alertSoundKey = QStringLiteral("SOM_ALERTA");

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

} // namespace brisfold
