#include "BracketedList.h"

#include "courier/TextConversion.h"

namespace brisfold {

void BracketedList::append(const QString &item)
{
    if (isFull())
        return;
    // Items are written as they come, brackets included; a cut item is skipped by the readers.
    text_ += QLatin1Char('[') + TextConversion::toCodePage1252(item) + QLatin1String("] ");
    text_.truncate(maxLength);
}

} // namespace brisfold
