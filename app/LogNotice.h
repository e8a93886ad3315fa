#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace brisfold {

class TMainForm;

// Carries the support log's one failure notice from its writer's thread to the main window's
// status bar; a notice that comes before the window waits for it.
class LogNotice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogNotice)

public:
    LogNotice() = default;

    // Any thread.
    void post(const QString &text);
    // The UI thread; shows a notice that came first.
    void setWindow(TMainForm *window);

private:
    void show(const QString &text);

    QPointer<TMainForm> window_;
    QString pending_;
};

} // namespace brisfold
