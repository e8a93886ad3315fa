#include "platform/WavFile.h"

#include <QtEndian>
#include <algorithm>

namespace brisfold {

namespace {

quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32At(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

} // namespace

std::optional<PcmSound> readPcmWav(const QByteArray &wav)
{
    constexpr qsizetype chunkHeader = 8;
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return std::nullopt;

    std::optional<PcmSound> sound;
    QByteArray data;
    bool haveData = false;
    for (qsizetype at = 12; at + chunkHeader <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const qsizetype size = u32At(wav, at + 4);
        const qsizetype body = at + chunkHeader;
        const qsizetype available = std::min(size, wav.size() - body);
        if (id == "fmt " && available >= 16) {
            const quint16 format = u16At(wav, body);
            const quint16 channels = u16At(wav, body + 2);
            const quint32 rate = u32At(wav, body + 4);
            const quint16 blockAlign = u16At(wav, body + 12);
            const quint16 bits = u16At(wav, body + 14);
            constexpr quint16 integerPcm = 1;
            if (format != integerPcm || bits != 16 || channels < 1 || channels > 2 || rate == 0 ||
                rate > 192000 || blockAlign != channels * 2)
                return std::nullopt;
            sound = PcmSound{channels, static_cast<int>(rate), {}};
        } else if (id == "data" && !haveData) {
            data = wav.mid(body, available);
            haveData = true;
        }
        // Chunks of odd size are followed by a pad byte.
        at = body + size + (size & 1);
    }
    if (!sound || !haveData)
        return std::nullopt;
    const qsizetype frameBytes = 2 * sound->channels;
    data.truncate(data.size() - data.size() % frameBytes);
    if (data.isEmpty())
        return std::nullopt;
    sound->samples = data;
    return sound;
}

} // namespace brisfold
