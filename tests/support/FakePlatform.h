#pragma once

#include "platform/Platform.h"

#include <QStringList>
#include <atomic>

namespace brisfold::test {

// The real file services, with the calls that reach outside the test recorded instead.
class FakePlatform final : public Platform
{
public:
    QString executablePath() const override { return QStringLiteral("/nonexistent/Brisfold"); }
    InstanceLock acquireInstanceLock(const QString &) override { return InstanceLock::Acquired; }
    void registerAutostart(const QString &programFolder) override { autostartFolders.append(programFolder); }
    bool openWebPage(const QString &url) override
    {
        openedPages.append(url);
        return true;
    }
    bool startScriptDetached(const QString &path) override
    {
        startedScripts.append(path);
        return true;
    }
    void bringToFront(QWindow *) override { ++broughtToFront; }
    QString heapReport() const override { return QStringLiteral("heap"); }
    // A player that counts its plays into alertPlays.
    std::unique_ptr<AlertSound> createAlertSound(const QByteArray &wav) override;

    QStringList autostartFolders;
    QStringList openedPages;
    QStringList startedScripts;
    std::atomic<int> broughtToFront = 0;
    std::atomic<int> alertPlays = 0;
};

} // namespace brisfold::test
