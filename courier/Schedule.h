#pragma once

#include "common/Clock.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace brisfold {

// The user's regional date and time separators.
struct RegionalSeparators
{
    QChar date = u'/';
    QChar time = u':';

    // The first separator of the locale's short date and time formats; "/" and ":" when a
    // format has none.
    static RegionalSeparators of(const QLocale &locale);
    static RegionalSeparators system() { return of(QLocale::system()); }
};

// When a booked courier should come: "data" as dd/mm/yyyy and "hora" as hh:nn.
struct Schedule
{
    QString data;
    QString hora;

    // `now` plus `minutes`; the seconds are dropped, not rounded.
    static Schedule at(const QDateTime &now, int minutes, RegionalSeparators separators);
    static Schedule from(const Clock &clock, int minutes, RegionalSeparators separators)
    {
        return at(clock.now(), minutes, separators);
    }
};

} // namespace brisfold
