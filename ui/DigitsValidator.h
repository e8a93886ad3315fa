#pragma once

#include <QValidator>

namespace brisfold {

// Accepts ASCII digits only, any number of them (the empty text included).
class DigitsValidator final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &position) const override;
};

} // namespace brisfold
