#pragma once

#include "ui/MessageBoxes.h"

namespace brisfold {

// The program's message boxes with every message also written to the support log, named by the
// window it was shown over.
class LoggingMessageBoxes final : public MessageBoxes
{
public:
    explicit LoggingMessageBoxes(MessageBoxes &shown)
        : shown_(shown)
    {}

    void showMessage(QWidget *parent, const QString &text) override;
    bool PerguntaComTempo(QWidget *parent, const QString &text) override
    {
        return shown_.PerguntaComTempo(parent, text);
    }
    bool askYesNo(QWidget *parent, const QString &text) override { return shown_.askYesNo(parent, text); }

private:
    MessageBoxes &shown_;
};

} // namespace brisfold
