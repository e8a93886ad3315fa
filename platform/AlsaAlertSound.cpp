#include "platform/AlsaAlertSound.h"

#include <algorithm>
#include <alsa/asoundlib.h>

namespace brisfold {

namespace {

// ALSA writes its errors to stderr; a machine without a sound device stays quiet. The handler is
// the process's (the thread-local one is not declared for C++ in Debian 12's headers); the alert is
// the program's only use of ALSA.
void discardAlsaError(const char *, int, const char *, int, const char *, ...) {}

// Short writes, so that closing the program is not held up by a sound being played.
constexpr int writesPerSecond = 20;
constexpr unsigned latencyMicroseconds = 100'000;

} // namespace

AlsaAlertSound::AlsaAlertSound(const QByteArray &wav)
    : sound_(readPcmWav(wav))
{}

AlsaAlertSound::~AlsaAlertSound()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void AlsaAlertSound::play()
{
    if (!sound_)
        return;
    std::lock_guard lock(mutex_);
    if (playing_)
        return;
    requested_ = true;
    if (!worker_.joinable())
        worker_ = std::thread(&AlsaAlertSound::run, this);
    wake_.notify_one();
}

void AlsaAlertSound::waitUntilIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !requested_ && !playing_; });
}

void AlsaAlertSound::run()
{
    snd_lib_error_set_handler(discardAlsaError);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return requested_ || stopping_; });
        if (stopping_)
            break;
        requested_ = false;
        playing_ = true;
        lock.unlock();
        playOnce();
        lock.lock();
        playing_ = false;
        idle_.notify_all();
    }
    requested_ = false;
    idle_.notify_all();
}

void AlsaAlertSound::playOnce() const
{
    snd_pcm_t *pcm = nullptr;
    // Opened without blocking: a device held by another program must not hold the worker.
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0) {
        if (snd_pcm_nonblock(pcm, 0) == 0 &&
            snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(sound_->channels),
                               static_cast<unsigned>(sound_->sampleRate), 1, latencyMicroseconds) == 0) {
            const qsizetype frameBytes = 2 * sound_->channels;
            const snd_pcm_uframes_t chunk =
                static_cast<snd_pcm_uframes_t>(sound_->sampleRate / writesPerSecond);
            const char *next = sound_->samples.constData();
            snd_pcm_uframes_t left = static_cast<snd_pcm_uframes_t>(sound_->frames());
            while (left > 0 && !stopping_) {
                snd_pcm_sframes_t written = snd_pcm_writei(pcm, next, std::min(left, chunk));
                if (written < 0)
                    written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
                if (written < 0)
                    break;
                next += written * frameBytes;
                left -= static_cast<snd_pcm_uframes_t>(written);
            }
            if (stopping_)
                snd_pcm_drop(pcm);
            else
                snd_pcm_drain(pcm);
        }
        snd_pcm_close(pcm);
    }
    // The parsed configuration would stay in memory until the next alert, seconds away at best.
    snd_config_update_free_global();
}

} // namespace brisfold
