#pragma once

#include "platform/Platform.h"

namespace brisfold {

// Linux counterparts of the Windows services: an flock'ed file for the named mutex, XDG
// autostart entries for the Run keys, the desktop's browser for the shell's "open".
class LinuxPlatform final : public Platform
{
public:
    QString executablePath() const override;
    InstanceLock acquireInstanceLock(const QString &name) override;
    void registerAutostart(const QString &programFolder) override;
    bool openWebPage(const QString &url) override;
    bool startScriptDetached(const QString &path) override;
    void bringToFront(QWindow *window) override;
    QString heapReport() const override;
    std::unique_ptr<AlertSound> createAlertSound(const QByteArray &wav) override;

    // Where the lock file of `name` lives.
    static QString lockFilePath(const QString &name);
    // The content of the autostart entry that starts `programFolder`'s executable.
    static QByteArray autostartEntry(const QString &programFolder);
    // The user's and the machine's autostart folders, in that order.
    static QStringList autostartFolders();
};

} // namespace brisfold
