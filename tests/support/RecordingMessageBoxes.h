#pragma once

#include "app/MessageBoxes.h"

#include <QStringList>

namespace brisfold::test {

// Records the messages and questions a user would have been shown, instead of opening modal
// boxes; questions get `answer`.
class RecordingMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &text) override { shown.append(text); }
    bool PerguntaComTempo(QWidget *, const QString &text) override
    {
        asked.append(text);
        return answer;
    }

    QStringList shown;
    QStringList asked;
    bool answer = false;
};

} // namespace brisfold::test
