#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace brisfold::fuzz {

// A broken property must stop the run, so that libFuzzer keeps the input that broke it.
inline void require(bool holds, const char *property, const QString &detail = {})
{
    if (holds)
        return;
    std::fprintf(stderr, "Property broken: %s\n%s\n", property, detail.toUtf8().constData());
    std::abort();
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input read as UTF-16 code units, lone surrogates and all: text as no valid decoding gives it.
inline QString rawUtf16(const uint8_t *data, size_t size)
{
    QString text;
    text.reserve(qsizetype(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2)
        text.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    return text;
}

inline bool isAscii(const QByteArray &text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    }
    return true;
}

inline bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

} // namespace brisfold::fuzz
