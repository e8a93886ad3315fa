#pragma once

#include <QString>

class QWidget;

namespace brisfold {

// The program's message boxes. Windows show every message through this, so tests can read
// what a user would have been shown instead of blocking on a modal box.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;

    // A message with an OK button and no icon, captioned with the application's title.
    virtual void showMessage(QWidget *parent, const QString &text);
};

} // namespace brisfold
