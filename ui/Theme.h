#pragma once

#include <QString>

class QApplication;

namespace brisfold {

// Applies the dark theme "Tablet Dark", carried in the program, to every window of the
// application. Returns the error text, or the empty text when it was applied.
QString applyTabletDark(QApplication &application);

} // namespace brisfold
