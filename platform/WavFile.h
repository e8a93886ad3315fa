#pragma once

#include <QByteArray>
#include <optional>

namespace brisfold {

// Interleaved 16-bit little-endian samples, as a WAV file holds them.
struct PcmSound
{
    int channels = 0;
    int sampleRate = 0;
    QByteArray samples; // whole frames only

    qsizetype frames() const { return samples.size() / (2 * channels); }
};

// The samples of a 16-bit PCM WAV of one or two channels; nothing for any other file. Chunks other
// than "fmt " and "data" are skipped; a data chunk cut short by the end of the file keeps what is there.
std::optional<PcmSound> readPcmWav(const QByteArray &wav);

} // namespace brisfold
