#include "common/TextConversion.h"

#include <QList>
#include <memory>
#include <mutex>
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

// One transliterator for the process: building it costs as much as converting hundreds of
// replies, and every marketplace check runs on a thread of its own. A transliterator is not
// safe to use from two threads at once, so its use is serialised.
std::mutex latinAsciiUse;

icu::Transliterator *latinAscii()
{
    static const std::unique_ptr<icu::Transliterator> instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> created(
            icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            created.reset();
        return created;
    }();
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
    if (icu::Transliterator *t = latinAscii()) {
        const std::lock_guard lock(latinAsciiUse);
        t->transliterate(work);
    }
    QString out;
    out.reserve(work.length());
    for (int32_t i = 0; i < work.length(); i = work.moveIndex32(i, 1)) {
        const UChar32 c = work.char32At(i);
        out.append(c <= 0x7F ? QChar(char16_t(c)) : QChar(u'?'));
    }
    return out;
}

// Tracks whether the written JSON text is inside a string, and after a backslash there.
class JsonWriter
{
public:
    explicit JsonWriter(qsizetype size) { out_.reserve(size); }

    void put(char c)
    {
        out_ += c;
        if (escaped_)
            escaped_ = false;
        else if (c == '\\')
            escaped_ = inString_;
        else if (c == '"')
            inString_ = !inString_;
    }

    // A look-alike: inside a string it must not end the string, start an escape or be raw control.
    void putLookAlike(char16_t c)
    {
        if (!inString_ || escaped_ || (c >= 0x20 && c != u'"' && c != u'\\')) {
            put(char(c));
            return;
        }
        if (c == u'"' || c == u'\\') {
            out_ += '\\';
            out_ += char(c);
        } else {
            out_ += QByteArray("\\u00") + QByteArray::number(c, 16).rightJustified(2, '0');
        }
    }

    // Takes back the last character, a letter in the plain state, to hand it to the look-alike step.
    bool takeBackLetter()
    {
        if (out_.isEmpty() || escaped_ || !QChar::isLetter(char16_t(out_.back())))
            return false;
        out_.chop(1);
        return true;
    }

    QByteArray take() { return std::move(out_); }

private:
    QByteArray out_;
    bool inString_ = false;
    bool escaped_ = false;
};

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

QByteArray jsonToAscii(const QString &json)
{
    if (isAscii(json))
        return json.toLatin1();
    JsonWriter writer(json.size());
    for (qsizetype i = 0; i < json.size();) {
        if (json[i].unicode() <= 0x7F) {
            writer.put(char(json[i].unicode()));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < json.size() && json[end].unicode() > 0x7F)
            ++end;
        // Each run of other characters on its own; a combining mark takes its letter along.
        qsizetype start = i;
        if (json[i].isMark() && i > 0 && writer.takeBackLetter())
            start = i - 1;
        for (QChar c : transliterate(json.mid(start, end - start)))
            writer.putLookAlike(c.unicode());
        i = end;
    }
    return writer.take();
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
