#include "BracketedList.h"

#include "common/TextConversion.h"

namespace brisfold {

void BracketedList::append(const QString &item)
{
    if (isFull())
        return;
    // Items are written as they come, brackets included; a cut item is skipped by the readers.
    text_ += QLatin1Char('[') + TextConversion::toCodePage1252(item) + QLatin1String("] ");
    text_.truncate(maxLength);
}

QStringList SepararLista(const QString &text)
{
    QStringList items;
    QString collected;
    bool inside = false;
    for (const QChar c : text) {
        if (c == u'[') {
            inside = true;
        } else if (c == u']') {
            inside = false;
            items.append(collected);
            collected.clear();
        } else if (inside) {
            collected += c;
        }
    }
    return items;
}

} // namespace brisfold
