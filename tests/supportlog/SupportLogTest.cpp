#include "supportlog/SupportLog.h"

#include "support/ReadOnlyFolder.h"
#include "support/SettableClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brisfold;
using brisfold::test::ReadOnlyFolder;
using brisfold::test::SettableClock;

namespace {

const QDate today(2024, 3, 15);

unsigned modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

class SupportLogTest : public ::testing::Test
{
protected:
    std::unique_ptr<SupportLog> makeLog()
    {
        return std::make_unique<SupportLog>(folder, clock, [this](const QString &text) {
            std::lock_guard lock(mutex);
            failures << text;
            failureThread = std::this_thread::get_id();
        });
    }
    QString path(QDate day) const { return QDir(folder).filePath(SupportLog::fileName(day)); }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList linesOf(QDate day) const
    {
        QStringList lines = QString::fromUtf8(contents(path(day))).split(u'\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    void makeFile(const QString &name, qint64 size = 0) const
    {
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    }
    QStringList recordedFailures()
    {
        std::lock_guard lock(mutex);
        return failures;
    }

    QTemporaryDir temp;
    QString folder = temp.filePath(QStringLiteral("log"));
    SettableClock clock{QDateTime(today, QTime(12, 0))};
    std::mutex mutex;
    QStringList failures;
    std::thread::id failureThread;
};

TEST_F(SupportLogTest, LinesAreStampedWrittenInOrderAndOneLineEach)
{
    auto log = makeLog();
    clock.set(QDateTime(today, QTime(9, 5, 7, 42)));
    log->write(QStringLiteral("Programa iniciado"));
    log->write(QStringLiteral("Pedido nº 12 – saiu\r\npara entrega"));
    clock.set(QDateTime(today, QTime(12, 0)));
    for (int i = 0; i < 3000; ++i)
        log->write(QStringLiteral("linha %1").arg(i));
    log->flush();

    const QStringList lines = linesOf(today);
    ASSERT_EQ(lines.size(), 3002);
    EXPECT_EQ(lines[0], u"2024-03-15 09:05:07.042 Programa iniciado");
    EXPECT_EQ(lines[1], u"2024-03-15 09:05:07.042 Pedido nº 12 – saiu  para entrega");
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(lines[i + 2], QStringLiteral("2024-03-15 12:00:00.000 linha %1").arg(i));
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(path(today)), 0600);
    EXPECT_TRUE(recordedFailures().isEmpty());
}

TEST_F(SupportLogTest, DestructionWritesWhatIsQueuedAndTheNextRunOfTheDayAppends)
{
    makeLog()->write(QStringLiteral("primeira execução"));
    makeLog()->write(QStringLiteral("segunda execução"));
    EXPECT_EQ(linesOf(today), QStringList({QStringLiteral("2024-03-15 12:00:00.000 primeira execução"),
                                           QStringLiteral("2024-03-15 12:00:00.000 segunda execução")}));
}

TEST_F(SupportLogTest, AFloodOfLinesNeverBlocksTheCallerAndFlushStillReturns)
{
    // More lines than the queue holds: the oldest queued give way, the newest arrive.
    auto log = makeLog();
    constexpr int count = 50000;
    for (int i = 0; i < count; ++i)
        log->write(QString::number(i));
    log->flush();
    const QStringList lines = linesOf(today);
    ASSERT_FALSE(lines.isEmpty());
    int previous = -1;
    for (const QString &line : lines) {
        const int n = line.mid(24).toInt();
        ASSERT_GT(n, previous) << line.toStdString();
        previous = n;
    }
    EXPECT_EQ(previous, count - 1);
}

TEST(SupportLogRetention, OnlyDayFilesMoreThanFourteenDaysOldExpire)
{
    const struct
    {
        const char *name;
        bool expired;
    } cases[] = {
        {"brisfold-2024-02-29.log", true}, // 15 days back
        {"brisfold-2023-12-31.log", true},
        {"brisfold-2024-03-01.log", false}, // 14 days back
        {"brisfold-2024-03-15.log", false},
        {"brisfold-2024-04-01.log", false}, // a clock set back meanwhile
        {"brisfold-2024-02-30.log", false}, // no such day
        {"brisfold-2023-1-01.log", false},
        {"brisfold-2023-01-01.log.bak", false},
        {"Brisfold-2023-01-01.log", false},
        {"copia-brisfold-2023-01-01.log", false},
        {"notas.txt", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SupportLog::isExpired(QString::fromLatin1(c.name), today), c.expired) << c.name;
}

TEST_F(SupportLogTest, StartRemovesExpiredDaysAndLeavesOtherFiles)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char *name :
         {"brisfold-2024-02-29.log", "brisfold-2024-03-01.log", "brisfold-2020-01-01.log.bak", "notas.txt"})
        makeFile(QString::fromLatin1(name));

    auto log = makeLog();
    log->write(QStringLiteral("Programa iniciado"));
    log->flush();

    EXPECT_EQ(
        QDir(folder).entryList(QDir::Files, QDir::Name),
        QStringList({QStringLiteral("brisfold-2020-01-01.log.bak"), QStringLiteral("brisfold-2024-03-01.log"),
                     QStringLiteral("brisfold-2024-03-15.log"), QStringLiteral("notas.txt")}));
}

TEST_F(SupportLogTest, ANewDayStartsANewFileAndPushesOutTheOldestDay)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    makeFile(QStringLiteral("brisfold-2024-03-01.log"));
    auto log = makeLog();
    clock.set(QDateTime(today, QTime(23, 59, 59, 999)));
    log->write(QStringLiteral("antes da meia-noite"));
    log->flush();
    EXPECT_TRUE(QFile::exists(path(QDate(2024, 3, 1))));

    clock.set(QDateTime(today.addDays(1), QTime(0, 0)));
    log->write(QStringLiteral("depois da meia-noite"));
    log->flush();

    EXPECT_EQ(linesOf(today), QStringList(QStringLiteral("2024-03-15 23:59:59.999 antes da meia-noite")));
    EXPECT_EQ(linesOf(today.addDays(1)),
              QStringList(QStringLiteral("2024-03-16 00:00:00.000 depois da meia-noite")));
    EXPECT_FALSE(QFile::exists(path(QDate(2024, 3, 1))));
}

TEST_F(SupportLogTest, ADayFileStopsAtTheCapWithOneLineSayingSo)
{
    const QByteArray notice = "2024-03-15 12:00:00.000 " + SupportLog::capNotice().toUtf8() + '\n';
    const QByteArray line = "2024-03-15 12:00:00.000 cabe exatamente\n";
    // An earlier run of the day left the file just short of the cap.
    ASSERT_TRUE(QDir().mkpath(folder));
    makeFile(SupportLog::fileName(today), SupportLog::maxFileBytes - notice.size() - line.size());
    {
        auto log = makeLog();
        log->write(QStringLiteral("cabe exatamente"));
        log->flush();
        EXPECT_EQ(QFileInfo(path(today)).size(), SupportLog::maxFileBytes - notice.size());
        log->write(QStringLiteral("x"));
        log->write(QStringLiteral("descartada"));
    }
    // A later run of the same day keeps the cut.
    makeLog()->write(QStringLiteral("também descartada"));

    const QByteArray written = contents(path(today));
    EXPECT_EQ(written.size(), SupportLog::maxFileBytes);
    EXPECT_TRUE(written.endsWith(line + notice));

    clock.set(QDateTime(today.addDays(1), QTime(0, 0)));
    makeLog()->write(QStringLiteral("dia novo"));
    EXPECT_EQ(linesOf(today.addDays(1)), QStringList(QStringLiteral("2024-03-16 00:00:00.000 dia novo")));
    EXPECT_TRUE(recordedFailures().isEmpty());
}

TEST_F(SupportLogTest, FillingADayFromEmptyEndsInTheNoticeBelowTheCap)
{
    const QString big(100 * 1024, u'a');
    const auto text = [&](int i) { return QString::number(i).rightJustified(3, u'0') + u' ' + big; };
    {
        auto log = makeLog();
        for (int i = 0; i < 120; ++i) {
            log->write(text(i));
            // Keep the queue short, so no line gives way to overflow here.
            if (i % 20 == 19)
                log->flush();
        }
    }
    const QStringList lines = linesOf(today);
    ASSERT_GE(lines.size(), 2);
    EXPECT_LE(QFileInfo(path(today)).size(), SupportLog::maxFileBytes);
    EXPECT_EQ(lines.last(), QStringLiteral("2024-03-15 12:00:00.000 ") + SupportLog::capNotice());
    for (int i = 0; i < lines.size() - 1; ++i)
        ASSERT_EQ(lines[i], QStringLiteral("2024-03-15 12:00:00.000 ") + text(i));
    EXPECT_EQ(lines.filter(SupportLog::capNotice()).size(), 1);
}

TEST_F(SupportLogTest, AFileSystemFailureStopsTheLogWithOneReport)
{
    enum class Fault
    {
        ReadOnlyFolder,
        FolderCannotBeMade,
        DiskFull,
    };
    const struct
    {
        Fault fault;
        const char *reason;
    } cases[] = {
        {Fault::ReadOnlyFolder, "não foi possível abrir o arquivo"},
        {Fault::FolderCannotBeMade, "não foi possível criar a pasta"},
        {Fault::DiskFull, "não foi possível gravar no arquivo"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        QTemporaryDir root;
        folder = root.filePath(QStringLiteral("log"));
        {
            std::lock_guard lock(mutex);
            failures.clear();
        }
        std::unique_ptr<ReadOnlyFolder> readOnly;
        switch (c.fault) {
        case Fault::ReadOnlyFolder:
            ASSERT_TRUE(QDir().mkpath(folder));
            // Made before the log, so that its writer thread starts without override rights too.
            readOnly = std::make_unique<ReadOnlyFolder>(folder);
            break;
        case Fault::FolderCannotBeMade: {
            QFile blocker(root.filePath(QStringLiteral("arquivo")));
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            folder = root.filePath(QStringLiteral("arquivo/log"));
            break;
        }
        case Fault::DiskFull:
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(path(today)).constData()), 0);
            break;
        }
        {
            auto log = makeLog();
            EXPECT_NO_THROW({
                for (int i = 0; i < 3; ++i)
                    log->write(QStringLiteral("antes"));
                log->flush();
                // Well past the queue's size: a stopped log takes no more lines at all.
                for (int i = 0; i < 20000; ++i)
                    log->write(QStringLiteral("depois"));
                log->flush();
            });
        }
        readOnly.reset();

        const QStringList reported = recordedFailures();
        ASSERT_EQ(reported.size(), 1);
        EXPECT_TRUE(
            reported[0].startsWith(QStringLiteral("Registro desligado: ") + QString::fromUtf8(c.reason)))
            << reported[0].toStdString();
        EXPECT_NE(failureThread, std::this_thread::get_id());
        if (c.fault != Fault::DiskFull) {
            EXPECT_FALSE(QFile::exists(path(today)));
        }
    }
}

// The program may log before it makes its application object; the writer must not then become the
// thread Qt takes for its main one.
int exitCodeOfAnApplicationMadeAfterTheLog()
{
    QTemporaryDir temp;
    SettableClock clock;
    SupportLog log(temp.filePath(QStringLiteral("log")), clock, {});
    log.write(QStringLiteral("Programa iniciado"));
    log.flush();
    static bool warned = false;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        warned = warned || text.contains(u"main() thread");
    });
    int argc = 1;
    char name[] = "test_supportlog";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return warned ? 1 : 0;
}

TEST(SupportLogStart, TheWriterThreadNeverBecomesQtsMainThread)
{
    // A fresh process, so that no QObject exists beforehand.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(exitCodeOfAnApplicationMadeAfterTheLog()), ::testing::ExitedWithCode(0), "");
}

} // namespace
