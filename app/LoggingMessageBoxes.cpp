#include "app/LoggingMessageBoxes.h"

#include "supportlog/EventLog.h"

#include <QWidget>

namespace brisfold {

void LoggingMessageBoxes::showMessage(QWidget *parent, const QString &text)
{
    const QString where = parent ? parent->window()->objectName() : QStringLiteral("Brisfold");
    eventlog::write(eventlog::errorShown(where.isEmpty() ? QStringLiteral("Brisfold") : where, text));
    shown_.showMessage(parent, text);
}

} // namespace brisfold
