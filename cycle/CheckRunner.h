#pragma once

#include "cycle/MarketplaceCheck.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

namespace brisfold {

// Runs one marketplace check at a time on its own worker thread and hands everything the check
// reports to the thread this object lives on (the UI thread), as signals.
//
// The window's side, all on the UI thread:
// - TimerDelivery tick: if isRunning(), do nothing (the 1 ms interval of an immediate check is
//   kept, so that check follows the running one). Otherwise stop both timers, interval 30000 ms,
//   "120" into an empty minutes box; signed in: disable the minutes box and start() with the
//   settings read now; signed out: interval 5000 ms, CountDelivery 5, start both timers.
// - statusText: second status-bar panel. noticeShown: LabelAvisos shows the text.
//   noticeHidden: LabelAvisos hidden. credentialsRefused: enable TimerCadastroEntrega.
//   paymentTypeMissing: a message box, unless the previous one is still open.
// - finished: enable the minutes box, CountDelivery 30, start both timers with the interval
//   TimerDelivery has now.
// - TimerCountDelivery tick: --CountDelivery, first panel countdownText(CountDelivery).
// - setSignedIn() whenever vLogado changes.
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
