#include "alerts/TrayIcon.h"

#include "ui/MessageBoxes.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace brisfold {

TrayIcon::TrayIcon(bool soundOn, QObject *parent)
    : QObject(parent)
    , menu_(new QMenu)
{
    menu_->setObjectName(QStringLiteral("TrayMenu"));
    QAction *open = menu_->addAction(QStringLiteral("Abrir"));
    open->setObjectName(QStringLiteral("TrayAbrir"));
    connect(open, &QAction::triggered, this, &TrayIcon::openRequested);
    QAction *sound = menu_->addAction(QStringLiteral("Som de alerta"));
    sound->setObjectName(QStringLiteral("TraySomDeAlerta"));
    sound->setCheckable(true);
    sound->setChecked(soundOn);
    connect(sound, &QAction::toggled, this, &TrayIcon::soundToggled);
    entriesEnd_ = menu_->addSeparator();
    quit_ = menu_->addAction(QStringLiteral("Sair"));
    quit_->setObjectName(QStringLiteral("TraySair"));
    connect(quit_, &QAction::triggered, this, &TrayIcon::quitRequested);

    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    icon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/tray.svg")), this);
    icon_->setContextMenu(menu_);
    icon_->setToolTip(messageBoxCaption());
    connect(icon_, &QSystemTrayIcon::messageClicked, this, &TrayIcon::notificationClicked);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left click opens the window, as "Abrir" does; the right one shows the menu.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit openRequested();
    });
    icon_->show();
}

TrayIcon::~TrayIcon()
{
    // The menu has no parent widget: the tray only borrows it, so the tray goes first.
    delete icon_;
    delete menu_;
}

void TrayIcon::addEntry(QAction *action)
{
    menu_->insertAction(entriesEnd_, action);
}

bool TrayIcon::isShown() const
{
    return icon_ != nullptr && icon_->isVisible();
}

void TrayIcon::notify(const QString &text)
{
    if (icon_)
        icon_->showMessage(messageBoxCaption(), text, QSystemTrayIcon::Information, 10000);
}

void TrayIcon::setToolTip(const QString &text)
{
    if (icon_)
        icon_->setToolTip(text.isEmpty() ? messageBoxCaption() : text);
}

} // namespace brisfold
