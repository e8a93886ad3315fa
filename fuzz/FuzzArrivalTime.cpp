// The card's time line: `DATAHORA` as stored ("yyyy-mm-dd hh:nn:ss") to the shown time, with the
// regional separators.
//
// Input: the `DATAHORA` text, as UTF-8 and as raw UTF-16.

#include "FuzzSupport.h"
#include "board/OrderCard.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <optional>

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

struct Fields
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The reference: the stored form as a regular expression (the program reads it by hand, without
// the expression engine). ASCII digits only, a missing time is midnight and missing seconds
// are zero, blanks around the whole and between date and time.
std::optional<Fields> read(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[ \\t\\n\\v\\f\\r]*([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})"
        "(?:[ \\t\\n\\v\\f\\r]+([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)?[ \\t\\n\\v\\f\\r]*\\z"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto part = [&match](int n) { return match.capturedView(n).toInt(); };
    return Fields{part(1), part(2), part(3), part(4), part(5), part(6)};
}

void check(const QString &dataHora, RegionalSeparators separators)
{
    const std::optional<QString> shown = formatArrivalTime(dataHora, separators);
    std::optional<Fields> fields = read(dataHora);
    if (fields) {
        const QDate date(fields->year, fields->month, fields->day);
        const QTime time(fields->hour, fields->minute, fields->second);
        if (!date.isValid() || !time.isValid())
            fields.reset();
    }
    require(shown.has_value() == fields.has_value(), "a time is shown exactly for a valid date and time",
            dataHora);
    if (fields) {
        const auto digits = [](int value, int width) {
            return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
        };
        const QString expected = digits(fields->day, 2) + separators.date + digits(fields->month, 2) +
                                 separators.date + digits(fields->year, 4) + u' ' + digits(fields->hour, 2) +
                                 separators.time + digits(fields->minute, 2) + separators.time +
                                 digits(fields->second, 2);
        require(*shown == expected, "the shown time is the stored one, rearranged", *shown);
    }

    OrderRow row;
    row.DATAHORA = dataHora;
    const CardContent card = DBCtrlGrid1PaintPanel(row, false, separators);
    if (shown) {
        require(card.timeLine == QStringLiteral("🕗 ") + *shown && card.errorName.isEmpty(),
                "a valid time fills the time line");
    } else {
        require(card.timeLine.isEmpty() && card.errorName == QLatin1String(convertErrorName),
                "a bad time leaves the line empty and names the conversion error");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The usual separators, and others that must land where '/' and ':' stood.
    check(QString::fromUtf8(fuzz::bytes(data, size)), RegionalSeparators{});
    check(fuzz::rawUtf16(data, size), RegionalSeparators{u'.', u'.'});
    return 0;
}
