#pragma once

#include <QString>
#include <QStringList>

namespace brisfold {

// `SepararLista`: the items of a bracketed list such as "[F] [D] ". Text outside brackets is
// ignored, a "[" inside an item does not restart it, and an item cut off before its "]" is dropped.
QStringList SepararLista(const QString &text);

} // namespace brisfold
