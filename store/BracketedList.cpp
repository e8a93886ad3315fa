#include "store/BracketedList.h"

namespace brisfold {

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
