#pragma once

class QWidget;

namespace brisfold {

// Places a top-level window in the middle of its screen's available area. Until the window
// manager has framed the window once, its frame is taken to be the client area.
void centreOnScreen(QWidget &window);

} // namespace brisfold
