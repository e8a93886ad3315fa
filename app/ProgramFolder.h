#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

namespace brisfold {

// The files the program keeps in its own folder, never relative to the working directory.
class ProgramFolder final
{
public:
    explicit ProgramFolder(QString path)
        : path_(QDir(std::move(path)).absolutePath())
    {}
    static ProgramFolder ofExecutable(const QString &executablePath)
    {
        return ProgramFolder(QFileInfo(executablePath).absolutePath());
    }

    const QString &path() const { return path_; }
    QString file(const QString &relative) const { return QDir(path_).filePath(relative); }

    QString database() const { return file(QStringLiteral("BD/BANCO.db")); }
#ifdef Q_OS_WIN
    QString supportScript() const
    {
        return file(QStringLiteral("fechar.bat"));
    }
#else
    QString supportScript() const
    {
        return file(QStringLiteral("fechar.sh"));
    }
#endif
    QString signalFolder() const
    {
        return file(QStringLiteral("open"));
    }
    QString signalFile() const
    {
        return file(QStringLiteral("open/open.ini"));
    }
    QString reportSwitch() const
    {
        return file(QStringLiteral("open/report.ini"));
    }

private:
    QString path_;
};

} // namespace brisfold
