#include "supportlog/DailyLogSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <stdio.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace brisfold {

namespace {

constexpr qsizetype stampLength = 23; // "YYYY-MM-DD HH:MM:SS.mmm"
constexpr qsizetype dayLength = 10;

const QByteArray &noticeTail()
{
    static const QByteArray tail = ' ' + SupportLog::capNotice().toUtf8() + '\n';
    return tail;
}

// Room kept free under the cap so that the notice always fits.
qint64 noticeLineBytes()
{
    return stampLength + noticeTail().size();
}

std::FILE *openForAppend(const QString &path)
{
#ifdef Q_OS_WIN
    return _wfopen(reinterpret_cast<const wchar_t *>(path.utf16()), L"ab");
#else
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, "a");
    if (!file)
        ::close(fd);
    return file;
#endif
}

std::FILE *openForReading(const QString &path)
{
#ifdef Q_OS_WIN
    return _wfopen(reinterpret_cast<const wchar_t *>(path.utf16()), L"rb");
#else
    return std::fopen(QFile::encodeName(path).constData(), "rb");
#endif
}

void removeFile(const QString &path)
{
#ifdef Q_OS_WIN
    _wremove(reinterpret_cast<const wchar_t *>(path.utf16()));
#else
    std::remove(QFile::encodeName(path).constData());
#endif
}

// Whether an earlier run already cut this day's file.
bool endsWithNotice(const QString &path, qint64 size)
{
    const QByteArray &tail = noticeTail();
    if (size < tail.size())
        return false;
    std::FILE *file = openForReading(path);
    if (!file)
        return false;
    QByteArray read(tail.size(), '\0');
    const bool ok = std::fseek(file, long(size - tail.size()), SEEK_SET) == 0 &&
                    std::fread(read.data(), 1, size_t(read.size()), file) == size_t(read.size());
    std::fclose(file);
    return ok && read == tail;
}

void removeExpired(const QString &folder, QDate today)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("brisfold-*.log")}, QDir::Files)) {
        if (SupportLog::isExpired(name, today))
            removeFile(dir.filePath(name));
    }
}

} // namespace

DailyLogSink::DailyLogSink(QString folder, SupportLog::FailureHandler onFailure)
    : folder_(std::move(folder))
    , onFailure_(std::move(onFailure))
{}

void DailyLogSink::waitUntilHandled(quint64 target, const std::function<quint64()> &dropped)
{
    std::unique_lock lock(handledMutex_);
    // Drops wake no one, so look again now and then.
    while (handled_ + dropped() < target)
        handledChanged_.wait_for(lock, std::chrono::milliseconds(20));
}

void DailyLogSink::sink_it_(const spdlog::details::log_msg &msg)
{
    if (!stopped()) {
        try {
            append(QByteArrayView(msg.payload.data(), qsizetype(msg.payload.size())));
        } catch (const std::exception &) {
            stop(QStringLiteral("erro inesperado ao gravar"));
        }
    }
    markHandled();
}

void DailyLogSink::flush_()
{
    // Every line is handed to the system as it comes, so there is nothing to write here.
    markHandled();
}

void DailyLogSink::markHandled()
{
    {
        std::lock_guard lock(handledMutex_);
        ++handled_;
    }
    handledChanged_.notify_all();
}

void DailyLogSink::append(QByteArrayView line)
{
    if (line.size() < stampLength)
        return;
    const QByteArrayView day = line.first(dayLength);
    if ((!file_ || day != day_) && !openDay(day))
        return;
    if (cut_)
        return;
    if (size_ + line.size() + 1 + noticeLineBytes() <= SupportLog::maxFileBytes) {
        writeLine(line.toByteArray() + '\n');
        return;
    }
    cut_ = true;
    writeLine(line.first(stampLength).toByteArray() + noticeTail());
}

bool DailyLogSink::openDay(QByteArrayView day)
{
    file_.reset();
    day_ = day.toByteArray();
    cut_ = false;
    const QDate date = QDate::fromString(QString::fromLatin1(day_), u"yyyy-MM-dd");
    const QDir dir(folder_);
    if (!dir.exists() && !QDir().mkdir(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        stop(QStringLiteral("não foi possível criar a pasta %1").arg(QDir::toNativeSeparators(folder_)));
        return false;
    }
    // A program that runs for weeks sees old days go at each new one, not only at its start.
    removeExpired(folder_, date);

    path_ = dir.filePath(SupportLog::fileName(date));
    file_.reset(openForAppend(path_));
    if (!file_) {
        stop(QStringLiteral("não foi possível abrir o arquivo %1").arg(QDir::toNativeSeparators(path_)));
        return false;
    }
    size_ = QFileInfo(path_).size();
    cut_ = endsWithNotice(path_, size_);
    return true;
}

bool DailyLogSink::writeLine(const QByteArray &line)
{
    // Flushed at once, so that a killed program leaves its last lines behind.
    if (std::fwrite(line.constData(), 1, size_t(line.size()), file_.get()) != size_t(line.size()) ||
        std::fflush(file_.get()) != 0) {
        stop(
            QStringLiteral("não foi possível gravar no arquivo %1 (disco cheio ou sem permissão de gravação)")
                .arg(QDir::toNativeSeparators(path_)));
        return false;
    }
    size_ += line.size();
    return true;
}

void DailyLogSink::stop(const QString &reason)
{
    stopped_ = true;
    // A stream whose write failed may fail again on close; the log has stopped either way.
    file_.reset();
    if (!onFailure_)
        return;
    try {
        onFailure_(QStringLiteral("Registro desligado: ") + reason);
    } catch (...) {
        // The receiver's fault must not end the writer thread.
    }
}

} // namespace brisfold
