#include "platform/WindowsPlatform.h"

#include "platform/win32/Win32Sound.h"
#include "platform/win32/Win32System.h"

#include <QDir>
#include <QWindow>

namespace brisfold {

namespace {

// Qt hands out paths with forward slashes; the profile and shell calls want native ones
// (a profile file name without a backslash would even be looked up in the Windows folder).
std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// PlaySoundW plays on a thread of the system's, so the UI never waits on the device.
class WindowsAlertSound final : public AlertSound
{
public:
    explicit WindowsAlertSound(const QByteArray &wav)
        : sound_(wav.toStdString())
    {}
    void play() override { sound_.play(); }

private:
    win32::MemorySound sound_;
};

} // namespace

QString WindowsPlatform::executablePath() const
{
    return QDir::fromNativeSeparators(QString::fromStdWString(win32::executablePath()));
}

InstanceLock WindowsPlatform::acquireInstanceLock(const QString &name)
{
    switch (win32::claimNamedMutex(name.toStdWString())) {
    case win32::MutexClaim::Acquired:
        return InstanceLock::Acquired;
    case win32::MutexClaim::AlreadyExists:
        // This second start is the foreground process; let the running copy come to the front.
        win32::allowOtherProcessToTakeForeground();
        return InstanceLock::AlreadyRunning;
    case win32::MutexClaim::Failed:
        break;
    }
    return InstanceLock::Unavailable;
}

QString WindowsPlatform::writeIniValue(const QString &file, const QString &section, const QString &key,
                                       const QString &value)
{
    return QString::fromStdWString(win32::writeIniValue(nativePath(file), section.toStdWString(),
                                                        key.toStdWString(), value.toStdWString()));
}

void WindowsPlatform::registerAutostart(const QString &programFolder)
{
    win32::registerAutostart(nativePath(programFolder));
}

bool WindowsPlatform::openWebPage(const QString &url)
{
    return win32::openWebPage(url.toStdWString());
}

bool WindowsPlatform::startScriptDetached(const QString &path)
{
    return win32::startScriptHidden(nativePath(path));
}

void WindowsPlatform::bringToFront(QWindow *window)
{
    if (!window)
        return;
    // Keeps Qt's idea of the window state in step with what the system call below does.
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    win32::bringToFront(reinterpret_cast<HWND>(window->winId()));
}

QString WindowsPlatform::heapReport() const
{
    // Asked for only when the report is: the debug CRT then also dumps, at the very end of the
    // process, the blocks that outlive the static destructors.
    win32::enableEndOfProcessLeakDump();
    return QString::fromStdWString(win32::heapReport());
}

std::unique_ptr<AlertSound> WindowsPlatform::createAlertSound(const QByteArray &wav)
{
    return std::make_unique<WindowsAlertSound>(wav);
}

} // namespace brisfold
