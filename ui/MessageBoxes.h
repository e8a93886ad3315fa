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

    // `PerguntaComTempo`: a Yes/No question that counts as not Yes when nobody answers in time.
    virtual bool PerguntaComTempo(QWidget *parent, const QString &text);

    // A Yes/No question without icon or time-out, No the default: for a step that costs money.
    virtual bool askYesNo(QWidget *parent, const QString &text);

    static constexpr int questionTimeoutMs = 5000;
};

// The caption of every message box: the application's title, set on the box itself so that it
// never depends on the toolkit's display name.
QString messageBoxCaption();

// The timed question itself: a modal Yes/No box without icon, captioned with the application's
// title. When `timeoutMs` passes first, the program's active window, which is then the box, is
// asked to close; while another program is active the box waits for an answer.
bool askWithTimeout(QWidget *parent, const QString &text, int timeoutMs);

} // namespace brisfold
