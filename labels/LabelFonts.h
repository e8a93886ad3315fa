#pragma once

#include <QString>

class QRawFont;

namespace brisfold {

// The fonts the program ships for its labels (DejaVu Sans and DejaVu Sans Bold), so a label
// prints the same on every machine whatever fonts the system has.
namespace labelfonts {

// The family to ask for; the fonts are registered with Qt on the first call, once per process,
// from any thread.
QString family();

// The shipped font itself, regular or bold, at `pixelSize`, for asking which characters it has.
QRawFont raw(bool bold, qreal pixelSize);

} // namespace labelfonts

} // namespace brisfold
