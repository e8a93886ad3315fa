#pragma once

#include "app/MessageBoxes.h"

#include <QStringList>

namespace brisfold::test {

// Records the messages a user would have been shown, instead of opening modal boxes.
class RecordingMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &text) override { shown.append(text); }

    QStringList shown;
};

} // namespace brisfold::test
