#include "app/MinutesRule.h"

namespace brisfold {

MinutesCheck checkMinutes(const QString &text)
{
    if (text.isEmpty())
        return {};
    bool whole = false;
    const int minutes = text.toInt(&whole);
    if (!whole)
        return {MinutesCheck::Outcome::NotWhole,
                QStringLiteral("'%1' não é um valor inteiro válido").arg(text)};
    if (minutes > 120)
        return {MinutesCheck::Outcome::Corrected, QStringLiteral("120")};
    if (minutes <= 0)
        return {MinutesCheck::Outcome::Corrected, QStringLiteral("5")};
    return {MinutesCheck::Outcome::InRange, QString()};
}

} // namespace brisfold
