// The card's time line: `DATAHORA` as stored ("yyyy-mm-dd hh:nn:ss") to the shown time.
//
// Input: the `DATAHORA` text, as UTF-8 and as raw UTF-16.

#include "FuzzSupport.h"
#include "board/OrderCard.h"

#include <QDate>
#include <QTime>
#include <optional>

using namespace brisfold;
using brisfold::fuzz::require;

namespace {

struct Fields
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// An independent reading of the stored form: ASCII digits only, a missing time is midnight and
// missing seconds are zero, blanks around the whole and between date and time.
class Reader
{
public:
    explicit Reader(const QString &text)
        : text_(text)
    {}

    std::optional<Fields> read()
    {
        Fields f;
        blanks();
        if (!number(4, 4, f.year) || !expect(u'-') || !number(1, 2, f.month) || !expect(u'-') ||
            !number(1, 2, f.day))
            return std::nullopt;
        const qsizetype afterDate = at_;
        if (blanks() > 0 && number(1, 2, f.hour)) {
            if (!expect(u':') || !number(1, 2, f.minute))
                return std::nullopt;
            if (expect(u':') && !number(1, 2, f.second))
                return std::nullopt;
            blanks();
        } else {
            f.hour = 0;
            at_ = afterDate;
            blanks();
        }
        if (at_ != text_.size())
            return std::nullopt;
        return f;
    }

private:
    static bool isBlank(QChar c)
    {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    }
    qsizetype blanks()
    {
        const qsizetype start = at_;
        while (at_ < text_.size() && isBlank(text_[at_]))
            ++at_;
        return at_ - start;
    }
    bool expect(char16_t c)
    {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool number(int least, int most, int &value)
    {
        int count = 0;
        value = 0;
        while (count < most && at_ < text_.size() && text_[at_] >= u'0' && text_[at_] <= u'9') {
            value = value * 10 + (text_[at_].unicode() - u'0');
            ++at_;
            ++count;
        }
        return count >= least;
    }

    const QString &text_;
    qsizetype at_ = 0;
};

void check(const QString &dataHora)
{
    const std::optional<QString> shown = formatArrivalTime(dataHora);
    std::optional<Fields> fields = Reader(dataHora).read();
    if (fields) {
        const QDate date(fields->year, fields->month, fields->day);
        const QTime time(fields->hour, fields->minute, fields->second);
        if (!date.isValid() || !time.isValid())
            fields.reset();
    }
    require(shown.has_value() == fields.has_value(), "a time is shown exactly for a valid date and time",
            dataHora);
    if (fields) {
        const QString expected = QStringLiteral("%1/%2/%3 %4:%5:%6")
                                     .arg(fields->day, 2, 10, QLatin1Char('0'))
                                     .arg(fields->month, 2, 10, QLatin1Char('0'))
                                     .arg(fields->year, 4, 10, QLatin1Char('0'))
                                     .arg(fields->hour, 2, 10, QLatin1Char('0'))
                                     .arg(fields->minute, 2, 10, QLatin1Char('0'))
                                     .arg(fields->second, 2, 10, QLatin1Char('0'));
        require(*shown == expected, "the shown time is the stored one, rearranged", *shown);
    }

    OrderRow row;
    row.DATAHORA = dataHora;
    const CardContent card = DBCtrlGrid1PaintPanel(row, false);
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
    check(QString::fromUtf8(fuzz::bytes(data, size)));
    check(fuzz::rawUtf16(data, size));
    return 0;
}
