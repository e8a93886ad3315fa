#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace brisfold {

// The program's icon in the desktop's tray: its tooltip, its notifications and its menu
// ("Abrir", "Som de alerta", "Sair"). Where the desktop has no tray nothing is shown and every
// call does nothing.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    explicit TrayIcon(bool soundOn, QObject *parent = nullptr);
    ~TrayIcon() override;

    bool isShown() const;
    void notify(const QString &text);
    void setToolTip(const QString &text);
    // For further entries, which go above "Sair".
    QMenu *menu() const { return menu_; }
    QAction *quitAction() const { return quit_; }
    // The separator above "Sair": further settings go just before it.
    QAction *entriesEnd() const { return entriesEnd_; }
    // Adds a setting or an action of another feature among the others, above "Sair".
    void addEntry(QAction *action);

signals:
    void openRequested();
    void soundToggled(bool on);
    void quitRequested();
    void notificationClicked();

private:
    QMenu *menu_;
    QAction *quit_;
    QAction *entriesEnd_;
    QSystemTrayIcon *icon_ = nullptr;
};

} // namespace brisfold
