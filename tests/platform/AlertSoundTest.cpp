#include "platform/AlertSound.h"

#include "platform/AlsaAlertSound.h"
#include "platform/LinuxPlatform.h"
#include "platform/WavFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using brisfold::AlsaAlertSound;
using brisfold::PcmSound;
using brisfold::readPcmWav;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int peakOf(const QByteArray &samples)
{
    int peak = 0;
    for (qsizetype at = 0; at + 1 < samples.size(); at += 2)
        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(samples.constData() + at))));
    return peak;
}

QByteArray le16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray bytes = QByteArray(id) + le32(quint32(body.size())) + body;
    if (body.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray fmtChunk(quint16 format, quint16 channels, quint16 bits)
{
    const quint16 blockAlign = quint16(channels * bits / 8);
    return chunk("fmt ", le16(format) + le16(channels) + le32(22050) + le32(22050u * blockAlign) +
                             le16(blockAlign) + le16(bits));
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

// Points ALSA's configuration, and with it the "default" device, at a file of the test's own.
class AlsaDefaultDevice
{
public:
    explicit AlsaDefaultDevice(const QByteArray &config)
    {
        QFile file(dir.filePath(QStringLiteral("asound.conf")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(config);
        file.close();
        qputenv("ALSA_CONFIG_PATH", QFile::encodeName(file.fileName()));
    }
    ~AlsaDefaultDevice() { qunsetenv("ALSA_CONFIG_PATH"); }

    // A default device that writes the raw samples it is given into `output`.
    static QByteArray toFile(const QString &output)
    {
        return "pcm.!default { type file; slave.pcm { type null }; file \"" + QFile::encodeName(output) +
               "\"; format \"raw\" }\n";
    }

    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
};

// What the process writes to stderr while it lives.
class CapturedStderr
{
public:
    CapturedStderr()
    {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const QByteArray path = QFile::encodeName(dir_.filePath(QStringLiteral("stderr")));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~CapturedStderr() { restore(); }

    QByteArray text()
    {
        restore();
        return readAll(dir_.filePath(QStringLiteral("stderr")));
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    QTemporaryDir dir_;
    int saved_ = -1;
};

PcmSound alert()
{
    const std::optional<PcmSound> sound = readPcmWav(brisfold::newOrderAlertWav());
    return sound.value_or(PcmSound{});
}

} // namespace

TEST(AlertSound, TheEmbeddedAlertIsAShortChimeThatStartsAndEndsInSilence)
{
    const std::optional<PcmSound> sound = readPcmWav(brisfold::newOrderAlertWav());
    ASSERT_TRUE(sound.has_value());
    EXPECT_EQ(sound->channels, 1);
    EXPECT_TRUE(sound->sampleRate == 22050 || sound->sampleRate == 44100) << sound->sampleRate;
    const double seconds = double(sound->frames()) / sound->sampleRate;
    EXPECT_GT(seconds, 0.3);
    EXPECT_LE(seconds, 1.0);
    EXPECT_GT(peakOf(sound->samples), 16000) << "loud enough to be heard at a busy counter";
    // Fades at both ends, so the device does not click.
    const qsizetype edge = sound->sampleRate / 500 * 2; // 2 ms
    EXPECT_LT(peakOf(sound->samples.first(edge)), 2000);
    EXPECT_LT(peakOf(sound->samples.last(edge)), 2000);
}

TEST(WavFile, ReadsSixteenBitPcmAndRefusesEverythingElse)
{
    const QByteArray frames = le16(1000) + le16(quint16(-1000)) + le16(7);
    struct Case
    {
        const char *what;
        QByteArray wav;
        int channels; // 0: refused
        QByteArray samples;
    };
    const Case cases[] = {
        {"mono", riff(fmtChunk(1, 1, 16) + chunk("data", frames)), 1, frames},
        {"stereo keeps whole frames only", riff(fmtChunk(1, 2, 16) + chunk("data", frames)), 2,
         frames.first(4)},
        {"other chunks of odd size skipped",
         riff(chunk("LIST", "abc") + fmtChunk(1, 1, 16) + chunk("junk", "x") + chunk("data", frames)), 1,
         frames},
        {"data cut short by the end of the file", riff(fmtChunk(1, 1, 16)) + "data" + le32(100) + frames, 1,
         frames},
        {"not a RIFF file", "RIFX" + riff(fmtChunk(1, 1, 16) + chunk("data", frames)).mid(4), 0, {}},
        {"8-bit", riff(fmtChunk(1, 1, 8) + chunk("data", frames)), 0, {}},
        {"floating point", riff(fmtChunk(3, 1, 16) + chunk("data", frames)), 0, {}},
        {"six channels", riff(fmtChunk(1, 6, 16) + chunk("data", frames)), 0, {}},
        {"no data chunk", riff(fmtChunk(1, 1, 16)), 0, {}},
        {"no format chunk", riff(chunk("data", frames)), 0, {}},
        {"empty data", riff(fmtChunk(1, 1, 16) + chunk("data", {})), 0, {}},
        {"header only", "RIFF", 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<PcmSound> sound = readPcmWav(c.wav);
        if (c.channels == 0) {
            EXPECT_FALSE(sound.has_value());
            continue;
        }
        ASSERT_TRUE(sound.has_value());
        EXPECT_EQ(sound->channels, c.channels);
        EXPECT_EQ(sound->sampleRate, 22050);
        EXPECT_EQ(sound->samples, c.samples);
    }
}

TEST(AlsaAlertSound, PlaysTheAlertsSamplesIntoTheDefaultDeviceAtEveryPlay)
{
    const PcmSound expected = alert();
    ASSERT_GT(expected.frames(), 0);
    QTemporaryDir out;
    const QString output = out.filePath(QStringLiteral("alert.raw"));
    AlsaDefaultDevice device(AlsaDefaultDevice::toFile(output));

    auto sound = brisfold::LinuxPlatform().createAlertSound(brisfold::newOrderAlertWav());
    auto &alsa = dynamic_cast<AlsaAlertSound &>(*sound);
    EXPECT_FALSE(QFile::exists(output)) << "no device is opened before the first alert";

    for (int play = 1; play <= 2; ++play) {
        SCOPED_TRACE(play);
        sound->play();
        alsa.waitUntilIdle();
        const QByteArray written = readAll(output);
        EXPECT_EQ(written.size(), expected.samples.size());
        EXPECT_GT(peakOf(written), 16000);
        EXPECT_TRUE(written == expected.samples) << "the device received other samples than the alert's";
        QFile::remove(output);
    }
}

TEST(AlsaAlertSound, PlayReturnsWhileTheDeviceIsStillOpening)
{
    QTemporaryDir out;
    const QString pipe = out.filePath(QStringLiteral("alert.pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    AlsaDefaultDevice device(AlsaDefaultDevice::toFile(pipe));
    AlsaAlertSound sound(brisfold::newOrderAlertWav());

    // Opening a pipe for writing waits for a reader, and the test reads only once play() is back.
    // A play() that waited on the device is let go by a reader of last resort, and the test fails.
    std::mutex mutex;
    std::condition_variable returnedChanged;
    bool returned = false;
    int lastResortReader = -1;
    std::thread rescue([&] {
        std::unique_lock lock(mutex);
        if (!returnedChanged.wait_for(lock, std::chrono::seconds(30), [&] { return returned; }))
            lastResortReader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    });
    sound.play();
    {
        std::lock_guard lock(mutex);
        returned = true;
    }
    returnedChanged.notify_all();
    rescue.join();
    if (lastResortReader >= 0) {
        sound.waitUntilIdle();
        ::close(lastResortReader);
        FAIL() << "play() waited for the device";
    }

    QFile reader(pipe);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QByteArray received;
    while (true) {
        const QByteArray part = reader.read(65536);
        if (part.isEmpty())
            break;
        received += part;
    }
    sound.waitUntilIdle();
    EXPECT_TRUE(received == alert().samples);
}

TEST(AlsaAlertSound, WithoutASoundDevicePlaysNothingAndSaysNothing)
{
    const struct
    {
        const char *what;
        QByteArray config;
    } cases[] = {
        {"no default device", "# nothing configured\n"},
        {"a sound card that is not there", "pcm.!default { type hw; card 31 }\n"},
        {"a device that cannot be opened",
         AlsaDefaultDevice::toFile(QStringLiteral("/nonexistent/alert.raw"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        AlsaDefaultDevice device(c.config);
        CapturedStderr err;
        {
            AlsaAlertSound sound(brisfold::newOrderAlertWav());
            sound.play();
            sound.waitUntilIdle();
            sound.play(); // still answers after a failed attempt
            sound.waitUntilIdle();
        }
        EXPECT_EQ(err.text().toStdString(), "");
    }
}
