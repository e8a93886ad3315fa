#include "ui/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace brisfold {

void centreOnScreen(QWidget &window)
{
    const QWidget *anchor = window.parentWidget() ? window.parentWidget()->window() : &window;
    const QScreen *screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace brisfold
