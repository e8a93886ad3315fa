#pragma once

#include "cycle/MarketplaceCheck.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

namespace brisfold {

// Runs one marketplace check at a time on its own worker thread and hands everything the check
// reports to the thread this object lives on (the UI thread), as signals.
class CheckRunner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CheckRunner)

public:
    CheckRunner(Database &db, MarketplaceSettings marketplace, CourierSettings courier, const Clock &clock,
                QObject *parent = nullptr);
    // Waits for a running check, so the worker never outlives the database or the clock.
    ~CheckRunner() override;

    // Starts a check; false, and nothing started, while one is still running.
    bool start(const CheckInput &input);
    // True from start() until finished() has been emitted.
    bool isRunning() const { return running_; }
    // Read by the worker just before automatic dispatch.
    void setSignedIn(bool signedIn) { signedIn_ = signedIn; }

signals:
    void statusText(const QString &text);
    void noticeShown(const QString &text);
    void noticeHidden();
    void credentialsRefused();
    void paymentTypeMissing(const QString &message);
    // After every other signal of the check; re-arm the timers here.
    void finished();

private:
    class Relay;
    void onThreadFinished();

    MarketplaceCheck check_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> signedIn_ = false;
    bool running_ = false;
};

} // namespace brisfold
