#pragma once

#include "ui/MessageBoxes.h"

#include <QList>
#include <QStringList>

namespace brisfold::test {

// Records the messages and questions a user would have been shown, instead of opening modal
// boxes; timed questions get `answer`, the others the next of `yesNoAnswers`.
class RecordingMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &text) override { shown.append(text); }
    bool PerguntaComTempo(QWidget *, const QString &text) override
    {
        asked.append(text);
        return answer;
    }

    bool askYesNo(QWidget *, const QString &text) override
    {
        asked.append(text);
        if (yesNoAnswers.isEmpty())
            return false;
        return yesNoAnswers.takeFirst();
    }

    QStringList shown;
    QStringList asked;
    bool answer = false;
    // Answers to askYesNo in order; No once they run out, as the box's default.
    QList<bool> yesNoAnswers;
};

} // namespace brisfold::test
