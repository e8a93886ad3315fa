#pragma once

#include <QDialog>

namespace brisfold {

class TMainForm;

// The dialog in which the user books a courier for one order, or marks it delivered.
class TFEntrega final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFEntrega)

public:
    explicit TFEntrega(TMainForm &mainForm);

private:
    TMainForm &mainForm_;
};

} // namespace brisfold
