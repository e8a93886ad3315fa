#pragma once

#include <QString>

namespace brisfold {

// What the range rule of the minutes box `ComboBoxAgendar` makes of its text.
struct MinutesCheck
{
    enum class Outcome
    {
        Empty,     // nothing to do, and nothing saved
        InRange,   // saved as it stands ("007" included)
        Corrected, // `text` replaces the box's text; the rule then runs on it again
        NotWhole,  // `text` is the message for the user; nothing corrected, nothing saved
    };

    Outcome outcome = Outcome::Empty;
    QString text;
};

// Above 120 minutes the box shows "120", at 0 or below "5"; a text that is no whole number in
// the integer range is reported.
MinutesCheck checkMinutes(const QString &text);

} // namespace brisfold
