#include "platform/LinuxPlatform.h"

#include "platform/AlsaAlertSound.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <QWindow>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <unistd.h>

namespace brisfold {

namespace {

QString environmentOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// Double quotes, backquote, dollar and backslash must be escaped inside a quoted Exec argument.
QString quotedExecArgument(const QString &path)
{
    QString escaped;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return u'"' + escaped + u'"';
}

} // namespace

QString LinuxPlatform::executablePath() const
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return QString::fromLocal8Bit(buffer, length);
}

QString LinuxPlatform::lockFilePath(const QString &name)
{
    const QString folder = environmentOr("XDG_RUNTIME_DIR", QDir::tempPath());
    return QDir(folder).filePath(name);
}

InstanceLock LinuxPlatform::acquireInstanceLock(const QString &name)
{
    const QByteArray path = QFile::encodeName(lockFilePath(name));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return InstanceLock::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return InstanceLock::Acquired; // the descriptor stays open, and the lock held, until the process ends
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? InstanceLock::AlreadyRunning : InstanceLock::Unavailable;
}

QStringList LinuxPlatform::autostartFolders()
{
    const QString userConfig =
        environmentOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    const QString machineConfig =
        environmentOr("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")).split(u':', Qt::SkipEmptyParts).value(0);
    return {userConfig + QStringLiteral("/autostart"),
            (machineConfig.isEmpty() ? QStringLiteral("/etc/xdg") : machineConfig) +
                QStringLiteral("/autostart")};
}

QByteArray LinuxPlatform::autostartEntry(const QString &programFolder)
{
    const QString program = QDir(programFolder).filePath(QStringLiteral("Brisfold"));
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Brisfold\n"
                                   "Comment=Pedidos aiqfome e entregas Trevant\n");
    entry += QStringLiteral("Exec=") + quotedExecArgument(program) + QStringLiteral(" --autostart\n");
    entry += QStringLiteral("Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
    return entry.toUtf8();
}

void LinuxPlatform::registerAutostart(const QString &programFolder)
{
    const QByteArray entry = autostartEntry(programFolder);
    for (const QString &folder : autostartFolders()) {
        if (!QDir().mkpath(folder))
            continue;
        QSaveFile file(QDir(folder).filePath(QStringLiteral("Brisfold.desktop")));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(entry);
            file.commit();
        }
    }
}

bool LinuxPlatform::openWebPage(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

bool LinuxPlatform::startScriptDetached(const QString &path)
{
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({path});
    process.setWorkingDirectory(QFileInfo(path).absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

void LinuxPlatform::bringToFront(QWindow *window)
{
    if (!window)
        return;
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}

QString LinuxPlatform::heapReport() const
{
    const struct mallinfo2 info = ::mallinfo2();
    return QStringLiteral("Memória ainda alocada ao encerrar:\n"
                          "%1 bytes em blocos do heap principal\n"
                          "%2 bytes em %3 blocos mapeados à parte\n"
                          "Total: %4 bytes")
        .arg(info.uordblks)
        .arg(info.hblkhd)
        .arg(info.hblks)
        .arg(info.uordblks + info.hblkhd);
}

std::unique_ptr<AlertSound> LinuxPlatform::createAlertSound(const QByteArray &wav)
{
    return std::make_unique<AlsaAlertSound>(wav);
}

} // namespace brisfold
