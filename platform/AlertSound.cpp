#include "platform/AlertSound.h"

#include <QFile>

namespace brisfold {

QByteArray newOrderAlertWav()
{
    QFile file(QStringLiteral(":/sounds/novo-pedido.wav"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace brisfold
