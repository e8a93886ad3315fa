#pragma once

#include <QByteArray>
#include <QFile>

namespace brisfold::test {

// The process's peak resident memory since the last reset, from /proc; -1 where it cannot be read.
class PeakMemory final
{
public:
    // Starts a new peak from the memory in use now; false when the kernel does not allow it, or
    // under the address sanitizer, whose red zones and quarantine make the peak meaningless.
    static bool reset()
    {
#if defined(__SANITIZE_ADDRESS__)
        return false;
#else
        QFile file(QStringLiteral("/proc/self/clear_refs"));
        return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
#endif
    }

    static qint64 peakBytes()
    {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
        }
        return -1;
    }

    static qint64 currentBytes()
    {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
        }
        return -1;
    }
};

} // namespace brisfold::test
