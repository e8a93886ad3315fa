#pragma once

#include <QByteArray>
#include <QString>

namespace brisfold {

// Charset and look-alike conversions for replies of the web services, done with ICU.
namespace TextConversion {

// The charset parameter of a Content-Type value, without quotes; empty when none is given.
QByteArray charsetOf(const QByteArray &contentType);

// Decodes a body by the charset its Content-Type declares; UTF-8 when none is declared or ICU
// does not know the name. Malformed bytes become U+FFFD rather than failing.
QString decode(const QByteArray &body, const QByteArray &contentType);

// Reduces text to 7-bit ASCII: letters lose their diacritics, other characters become a
// look-alike where ICU's Latin-ASCII transliteration has one, and "?" otherwise.
QByteArray toAscii(const QString &text);

// The same step for a JSON text: a look-alike that lands inside a string as a quote, a backslash
// or a control character is written as its escape, so a reply that was valid JSON stays so.
QByteArray jsonToAscii(const QString &json);

// Keeps only what the Windows-1252 code page can hold; anything else goes through the same
// look-alike step as toAscii.
QString toCodePage1252(const QString &text);

} // namespace TextConversion

} // namespace brisfold
