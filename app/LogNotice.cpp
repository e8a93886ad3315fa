#include "app/LogNotice.h"

#include "app/TMainForm.h"

namespace brisfold {

void LogNotice::post(const QString &text)
{
    QMetaObject::invokeMethod(
        this, [this, text] { show(text); }, Qt::QueuedConnection);
}

void LogNotice::setWindow(TMainForm *window)
{
    window_ = window;
    if (window_ && !pending_.isEmpty())
        window_->showStatusNotice(std::exchange(pending_, {}));
}

void LogNotice::show(const QString &text)
{
    if (window_)
        window_->showStatusNotice(text);
    else
        pending_ = text;
}

} // namespace brisfold
