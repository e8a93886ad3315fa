#include "board/OrderCard.h"

#include <QDate>
#include <QTime>

namespace brisfold {

namespace {

// Reads a text of the form "yyyy-m-d[ h:m[:s]]" by hand: every card paint reads one.
class TimeReader
{
public:
    explicit TimeReader(QStringView text)
        : text_(text)
    {}

    bool atEnd() const { return pos_ == text_.size(); }

    // Skips ASCII blanks; true when there was at least one.
    bool skipBlanks()
    {
        const qsizetype start = pos_;
        while (!atEnd() && isBlank(text_[pos_].unicode()))
            ++pos_;
        return pos_ > start;
    }

    bool take(char16_t c)
    {
        if (atEnd() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // Between `least` and `most` ASCII digits into `value`.
    bool number(int least, int most, int &value)
    {
        value = 0;
        int digits = 0;
        while (digits < most && !atEnd() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
            value = value * 10 + (text_[pos_].unicode() - u'0');
            ++pos_;
            ++digits;
        }
        return digits >= least;
    }

private:
    static bool isBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

    QStringView text_;
    qsizetype pos_ = 0;
};

// `value` as `width` ASCII digits, zero-padded.
void appendDigits(QString &text, int value, int width)
{
    char16_t digits[4];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    text.append(QStringView(digits, width));
}

} // namespace

std::optional<QString> formatArrivalTime(const QString &dataHora, RegionalSeparators separators)
{
    // As with the regional date conversion this follows, a missing time reads as midnight and
    // missing seconds as zero.
    TimeReader reader(dataHora);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    reader.skipBlanks();
    if (!reader.number(4, 4, year) || !reader.take(u'-') || !reader.number(1, 2, month) ||
        !reader.take(u'-') || !reader.number(1, 2, day))
        return std::nullopt;
    if (reader.skipBlanks() && !reader.atEnd()) {
        if (!reader.number(1, 2, hour) || !reader.take(u':') || !reader.number(1, 2, minute))
            return std::nullopt;
        if (reader.take(u':') && !reader.number(1, 2, second))
            return std::nullopt;
        reader.skipBlanks();
    }
    if (!reader.atEnd())
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // Built from the fields themselves, so no time zone rule can move a wall-clock time.
    QString text;
    text.reserve(19);
    appendDigits(text, day, 2);
    text.append(separators.date);
    appendDigits(text, month, 2);
    text.append(separators.date);
    appendDigits(text, year, 4);
    text.append(u' ');
    appendDigits(text, hour, 2);
    text.append(separators.time);
    appendDigits(text, minute, 2);
    text.append(separators.time);
    appendDigits(text, second, 2);
    return text;
}

CardContent DBCtrlGrid1PaintPanel(const OrderRow &row, bool automaticDispatch, RegionalSeparators separators)
{
    CardContent card;
    // Only emptiness of the mark matters: a booked and a delivered order look alike.
    const bool marked = !row.ID_MCH.isEmpty();
    if (automaticDispatch) {
        card.requestPicture = marked ? picture::ok : picture::solicitando;
        card.requestClickable = 0;
    } else {
        card.requestPicture = marked ? picture::ok : picture::entregador4;
        card.requestClickable = 1;
    }
    card.orderLine = QStringLiteral("🧾 ") + row.IDPEDIDO;
    card.customerLine = QStringLiteral("👤 ") + row.CLIENTE;
    card.addressLine = QStringLiteral("📍 ") + row.ENDERECO;
    if (const std::optional<QString> time = formatArrivalTime(row.DATAHORA, separators))
        card.timeLine = QStringLiteral("🕗 ") + *time;
    else
        card.errorName = QString::fromLatin1(convertErrorName);
    return card;
}

} // namespace brisfold
