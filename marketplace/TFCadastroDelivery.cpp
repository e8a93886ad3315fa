#include "marketplace/TFCadastroDelivery.h"

#include "app/TMainForm.h"

namespace brisfold {

TFCadastroDelivery::TFCadastroDelivery(TMainForm &mainForm)
    : QDialog(&mainForm, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , mainForm_(mainForm)
{
    setObjectName(QStringLiteral("FCadastroDelivery"));
    setWindowTitle(QStringLiteral("Cadastro"));
    setFixedSize(420, 360);
}

} // namespace brisfold
