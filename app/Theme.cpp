#include "app/Theme.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace brisfold {

QString applyTabletDark(QApplication &application)
{
    QFile sheet(QStringLiteral(":/theme/tablet-dark.qss"));
    if (!sheet.open(QIODevice::ReadOnly))
        return QStringLiteral("Tema \"Tablet Dark\" não encontrado: ") + sheet.errorString();

    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        application.setStyle(fusion);

    QPalette palette;
    const QColor window(0x1f, 0x22, 0x26);
    const QColor base(0x2a, 0x2e, 0x33);
    const QColor text(0xee, 0xf1, 0xf4);
    const QColor accent(0x26, 0x9d, 0xd9);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(115));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x33, 0x38, 0x3e));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x93, 0x9c));
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent.lighter(120));
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x6c, 0x74, 0x7c));
    application.setPalette(palette);
    application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    return {};
}

} // namespace brisfold
