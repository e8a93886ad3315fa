#pragma once

#include <QDialog>

namespace brisfold {

class TMainForm;

// The dialog that keeps the marketplace credentials.
class TFCadastroDelivery final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFCadastroDelivery)

public:
    explicit TFCadastroDelivery(TMainForm &mainForm);

private:
    TMainForm &mainForm_;
};

} // namespace brisfold
