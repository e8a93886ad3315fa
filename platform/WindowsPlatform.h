#pragma once

#include "platform/Platform.h"

namespace brisfold {

// The Windows platform: a thin Qt adapter over the Win32 layer in platform/win32, which holds every
// system call and is tested on its own.
class WindowsPlatform final : public Platform
{
public:
    QString executablePath() const override;
    InstanceLock acquireInstanceLock(const QString &name) override;
    QString writeIniValue(const QString &file, const QString &section, const QString &key,
                          const QString &value) override;
    void registerAutostart(const QString &programFolder) override;
    bool openWebPage(const QString &url) override;
    bool startScriptDetached(const QString &path) override;
    void bringToFront(QWindow *window) override;
    QString heapReport() const override;
    std::unique_ptr<AlertSound> createAlertSound(const QByteArray &wav) override;
};

} // namespace brisfold
