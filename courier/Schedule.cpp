#include "Schedule.h"

namespace brisfold {

namespace {

QChar firstSeparator(const QString &format, QChar fallback)
{
    bool inQuote = false;
    for (QChar c : format) {
        if (c == u'\'') {
            inQuote = !inQuote;
        } else if (!inQuote && !c.isLetter() && !c.isSpace()) {
            return c;
        }
    }
    return fallback;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

RegionalSeparators RegionalSeparators::of(const QLocale &locale)
{
    RegionalSeparators s;
    s.date = firstSeparator(locale.dateFormat(QLocale::ShortFormat), s.date);
    s.time = firstSeparator(locale.timeFormat(QLocale::ShortFormat), s.time);
    return s;
}

Schedule Schedule::at(const QDateTime &now, int minutes, RegionalSeparators separators)
{
    const QDateTime moment = now.addSecs(qint64(minutes) * 60);
    const QDate d = moment.date();
    const QTime t = moment.time();
    Schedule s;
    s.data = twoDigits(d.day()) + separators.date + twoDigits(d.month()) + separators.date +
             QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
    s.hora = twoDigits(t.hour()) + separators.time + twoDigits(t.minute());
    return s;
}

} // namespace brisfold
