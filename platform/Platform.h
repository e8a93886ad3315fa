#pragma once

#include "platform/AlertSound.h"

#include <QString>
#include <memory>

class QWindow;

namespace brisfold {

enum class InstanceLock
{
    Acquired,       // this process is the running copy
    AlreadyRunning, // another process holds the lock: this is a second start
    Unavailable,    // no lock could be made at all; treated as the first start
};

// The operating-system services the program uses, one implementation per system.
class Platform
{
public:
    virtual ~Platform() = default;

    // The running executable's full path, readable before any Qt application exists.
    virtual QString executablePath() const = 0;

    // Takes the per-user lock named `name` for the rest of the process's life.
    virtual InstanceLock acquireInstanceLock(const QString &name) = 0;

    // Writes key=value into a section of an INI file, keeping its other sections and keys.
    // Returns the error text, or the empty text on success.
    virtual QString writeIniValue(const QString &file, const QString &section, const QString &key,
                                  const QString &value);

    virtual bool fileExists(const QString &path) const;
    virtual bool folderExists(const QString &path) const;
    virtual bool makeFolders(const QString &path);
    virtual bool removeFile(const QString &path);

    // Registers the program folder's executable to start at logon, for the user and for the
    // machine; an entry that cannot be written is skipped without a word.
    virtual void registerAutostart(const QString &programFolder) = 0;

    virtual bool openWebPage(const QString &url) = 0;
    // Starts a support script detached from the program, with no window or terminal.
    virtual bool startScriptDetached(const QString &path) = 0;
    // Restores the window if it is minimised and brings it to the foreground.
    virtual void bringToFront(QWindow *window) = 0;

    // A description of the heap memory the process still holds, for the end-of-process report.
    virtual QString heapReport() const = 0;

    // A player of the alert sound `wav` (a 16-bit PCM WAV). It opens no device before its first
    // play. The base plays nothing, for stand-ins of the platform.
    virtual std::unique_ptr<AlertSound> createAlertSound(const QByteArray &wav);
};

} // namespace brisfold
