#include "ui/Theme.h"

#include "ui/TabletDarkStyle.h"

#include <QApplication>
#include <QFont>

namespace brisfold {

QString applyTabletDark(QApplication &application)
{
    TabletDarkStyle *style = TabletDarkStyle::create();
    if (!style)
        return QStringLiteral("Tema \"Tablet Dark\" não aplicado: estilo Fusion indisponível");
    application.setStyle(style);
    application.setPalette(TabletDarkStyle::darkPalette());
    QFont font = application.font();
    font.setPointSize(10);
    application.setFont(font);
    return {};
}

} // namespace brisfold
