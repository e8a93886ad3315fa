#pragma once

#include <QString>
#include <QStringList>

namespace brisfold {

// The courier platform's one-letter payment codes and the names the payment lists show.
namespace PaymentTypes {

// Shown, and nothing sent, when the chosen payment text has no code.
QString missingMessage();

// The names for the stored codes, in their order; unknown codes add nothing.
QStringList namesForCodes(const QStringList &codes);

// The code for a payment list's text, compared by its ASCII upper case; empty when none matches.
QString codeForName(const QString &name);

} // namespace PaymentTypes

} // namespace brisfold
