#include "app/MessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace brisfold {

void MessageBoxes::showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace brisfold
