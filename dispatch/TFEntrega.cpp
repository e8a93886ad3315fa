#include "dispatch/TFEntrega.h"

#include "app/TMainForm.h"

namespace brisfold {

TFEntrega::TFEntrega(TMainForm &mainForm)
    : QDialog(&mainForm, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , mainForm_(mainForm)
{
    setObjectName(QStringLiteral("FEntrega"));
    setWindowTitle(QStringLiteral("Solicitar entrega"));
    setFixedSize(405, 393);
}

} // namespace brisfold
