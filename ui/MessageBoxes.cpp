#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace brisfold {

QString messageBoxCaption()
{
    return QStringLiteral("Brisfold");
}

void MessageBoxes::showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, messageBoxCaption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxes::askYesNo(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, messageBoxCaption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

bool MessageBoxes::PerguntaComTempo(QWidget *parent, const QString &text)
{
    return askWithTimeout(parent, text, questionTimeoutMs);
}

bool askWithTimeout(QWidget *parent, const QString &text, int timeoutMs)
{
    QMessageBox box(QMessageBox::NoIcon, messageBoxCaption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);

    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setInterval(timeoutMs);
    QObject::connect(&timeout, &QTimer::timeout, &box, [] {
        // Only while the program is the active application: then its active window is the box.
        QPointer<QWidget> active = QApplication::activeWindow();
        if (active && active->isVisible() && active->isEnabled())
            active->close();
    });
    timeout.start();
    box.exec();
    timeout.stop();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

} // namespace brisfold
