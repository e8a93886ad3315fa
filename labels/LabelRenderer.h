#pragma once

#include "labels/DeliveryLabel.h"

#include <QString>

class QPagedPaintDevice;
class QRawFont;

namespace brisfold {

// The widths of receipt paper the label is laid out for, in millimetres.
inline constexpr int receiptPaper80mm = 80;
inline constexpr int receiptPaper58mm = 58;

// Paints `label` as one page `paperWidthMm` wide and as long as its content (receipt paper is
// continuous). Sets the page size on `device` first, so `device` must not be painted on yet.
// Empty on success, otherwise the reason.
QString renderLabel(QPagedPaintDevice &device, const DeliveryLabel &label, int paperWidthMm);

// `text` with every character `font` cannot draw left out (pictographs above all), so that none
// comes out as a box; blanks, tabs and line breaks as single blanks.
QString printableText(const QString &text, const QRawFont &font);

} // namespace brisfold
