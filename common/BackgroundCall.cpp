#include "common/BackgroundCall.h"

#include "platform/ThreadPriority.h"

#include <QMetaObject>
#include <exception>

namespace brisfold {

BackgroundCall::BackgroundCall(QObject *parent)
    : QObject(parent)
{}

BackgroundCall::~BackgroundCall()
{
    waitForWorker();
}

bool BackgroundCall::start(std::function<QString()> work, std::function<void(const QString &)> done)
{
    if (busy_)
        return false;
    busy_ = true;
    // The previous worker has handed its result over by now; only its thread object is left.
    waitForWorker();
    thread_.reset(QThread::create([this, work = std::move(work), done = std::move(done)]() mutable {
        lowerCurrentThreadPriority();
        QString result;
        try {
            result = work();
        } catch (const std::exception &e) {
            result = QString::fromUtf8(e.what());
        } catch (...) {
            result = QStringLiteral("Erro desconhecido");
        }
        // Queued to this object: dropped if it is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done), result] {
                busy_ = false;
                if (done)
                    done(result);
                emit finished();
            },
            Qt::QueuedConnection);
    }));
    thread_->start();
    return true;
}

void BackgroundCall::waitForWorker()
{
    if (thread_)
        thread_->wait();
}

} // namespace brisfold
