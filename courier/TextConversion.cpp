#include "TextConversion.h"

#include <QList>
#include <memory>
#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

namespace brisfold::TextConversion {

namespace {

struct ConverterCloser
{
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// Transliterators are costly to create and not meant to be shared across threads.
icu::Transliterator *latinAscii()
{
    thread_local std::unique_ptr<icu::Transliterator> instance;
    if (!instance) {
        UErrorCode status = U_ZERO_ERROR;
        instance.reset(icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            instance.reset();
    }
    return instance.get();
}

bool isAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

// Latin-ASCII, then "?" for every code point still outside ASCII.
QString transliterate(const QString &text)
{
    icu::UnicodeString work = toIcu(text);
    if (icu::Transliterator *t = latinAscii())
        t->transliterate(work);
    QString out;
    out.reserve(work.length());
    for (int32_t i = 0; i < work.length(); i = work.moveIndex32(i, 1)) {
        const UChar32 c = work.char32At(i);
        out.append(c <= 0x7F ? QChar(char16_t(c)) : QChar(u'?'));
    }
    return out;
}

} // namespace

QByteArray charsetOf(const QByteArray &contentType)
{
    for (const QByteArray &part : contentType.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.size() > 8 && p.left(8).compare("charset=", Qt::CaseInsensitive) == 0) {
            QByteArray name = p.mid(8).trimmed();
            if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
                name = name.mid(1, name.size() - 2);
            return name;
        }
    }
    return {};
}

QString decode(const QByteArray &body, const QByteArray &contentType)
{
    if (body.isEmpty())
        return {};
    QByteArray name = charsetOf(contentType);
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(name.isEmpty() ? nullptr : ucnv_open(name.constData(), &status));
    if (!converter || U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        converter.reset(ucnv_open("UTF-8", &status));
        if (U_FAILURE(status))
            return QString::fromUtf8(body);
    }
    status = U_ZERO_ERROR;
    const icu::UnicodeString text(body.constData(), int32_t(body.size()), converter.get(), status);
    if (U_FAILURE(status))
        return QString::fromUtf8(body);
    return fromIcu(text);
}

QByteArray toAscii(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1();
    return transliterate(text).toLatin1();
}

QString toCodePage1252(const QString &text)
{
    if (isAscii(text))
        return text;
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-1252", &status));
    if (U_FAILURE(status))
        return transliterate(text);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

    const icu::UnicodeString source = toIcu(text);
    QString out;
    out.reserve(text.size());
    char buffer[8];
    for (int32_t i = 0; i < source.length(); i = source.moveIndex32(i, 1)) {
        const UChar32 c = source.char32At(i);
        const icu::UnicodeString one(c);
        status = U_ZERO_ERROR;
        ucnv_resetFromUnicode(converter.get());
        ucnv_fromUChars(converter.get(), buffer, sizeof buffer, one.getBuffer(), one.length(), &status);
        if (U_SUCCESS(status))
            out.append(fromIcu(one));
        else
            out.append(transliterate(fromIcu(one)));
    }
    return out;
}

} // namespace brisfold::TextConversion
