#pragma once

#include "platform/AlertSound.h"
#include "platform/WavFile.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace brisfold {

// Plays the alert through ALSA's "default" device, which desktops route to PulseAudio or PipeWire
// through their ALSA plugins. The device is opened on a worker thread of its own for each play and
// closed after it, so the UI never waits on it; the worker starts with the first play.
class AlsaAlertSound final : public AlertSound
{
public:
    explicit AlsaAlertSound(const QByteArray &wav);
    ~AlsaAlertSound() override;
    AlsaAlertSound(const AlsaAlertSound &) = delete;
    AlsaAlertSound &operator=(const AlsaAlertSound &) = delete;

    // A request while the sound is still playing is dropped: it would only sound twice in a row.
    void play() override;

    // Blocks until every requested play has ended, played or not.
    void waitUntilIdle();

private:
    void run();
    void playOnce() const;

    const std::optional<PcmSound> sound_; // empty: the WAV was unreadable, and nothing plays
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool requested_ = false;
    bool playing_ = false;
    std::atomic<bool> stopping_ = false;
    std::thread worker_;
};

} // namespace brisfold
