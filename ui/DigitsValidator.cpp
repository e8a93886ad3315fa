#include "ui/DigitsValidator.h"

#include <algorithm>

namespace brisfold {

QValidator::State DigitsValidator::validate(QString &input, int & /*position*/) const
{
    const bool digits =
        std::all_of(input.cbegin(), input.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digits ? Acceptable : Invalid;
}

} // namespace brisfold
