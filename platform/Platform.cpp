#include "platform/Platform.h"

#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace brisfold {

namespace {

class SilentAlertSound final : public AlertSound
{
public:
    void play() override {}
};

} // namespace

QString Platform::writeIniValue(const QString &file, const QString &section, const QString &key,
                                const QString &value)
{
    QByteArray content;
    QFile existing(file);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return existing.errorString();
        content = existing.readAll();
        existing.close();
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    out.write(withIniValue(content, section, key, value));
    if (!out.commit())
        return out.errorString();
    return {};
}

bool Platform::fileExists(const QString &path) const
{
    return QFileInfo(path).isFile();
}

bool Platform::folderExists(const QString &path) const
{
    return QFileInfo(path).isDir();
}

bool Platform::makeFolders(const QString &path)
{
    return QDir().mkpath(path);
}

std::unique_ptr<AlertSound> Platform::createAlertSound(const QByteArray &)
{
    return std::make_unique<SilentAlertSound>();
}

bool Platform::removeFile(const QString &path)
{
    return QFile::remove(path);
}

} // namespace brisfold
