#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace brisfold {

// Runs one web-service operation at a time on a worker thread of its own, below the UI thread's
// priority, so the window that asked keeps painting, and hands the operation's result text back on the thread
// this object lives on. A result that arrives after this object is gone is dropped by Qt.
//
// Whatever must not be lost if the program ends meanwhile (a booking's mark) belongs in `work`:
// the destructor waits for the worker, but a result still queued for `done` is never delivered.
class BackgroundCall final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackgroundCall)

public:
    explicit BackgroundCall(QObject *parent = nullptr);
    // Waits for the operation in flight, up to its own time-outs.
    ~BackgroundCall() override;

    // Runs `work` on a worker, then `done` with its result on this object's thread. False, and
    // nothing started, while an operation is still running. `work` must not throw; anything it
    // lets out is turned into the text of the error.
    bool start(std::function<QString()> work, std::function<void(const QString &)> done);

    // True from start() until `done` has returned.
    bool isBusy() const { return busy_; }
    // Blocks until the worker has ended (not until `done` ran); for closing.
    void waitForWorker();

signals:
    // After `done`, whatever it did.
    void finished();

private:
    std::unique_ptr<QThread> thread_;
    bool busy_ = false;
};

} // namespace brisfold
