#pragma once

#include "cycle/MarketplaceCheck.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace brisfold {

// Runs one marketplace check at a time on its own worker thread, below the UI thread's priority,
// and hands everything the check reports to the thread this object lives on (the UI thread), as
// signals.
//
// The window's side, all on the UI thread:
// - Once, setDispatchSettingsSource() with a function that reads CheckBoxRebimentoAutomatico,
//   the minutes box and the payment, category and return lists; the worker has it called here
//   when automatic dispatch begins.
// - TimerDelivery tick: if isRunning(), do nothing (the 1 ms interval of an immediate check is
//   kept, so that check follows the running one). Otherwise stop both timers, interval 30000 ms,
//   "120" into an empty minutes box; signed in: disable the minutes box and start() with the
//   panel state, courier key and separators read now; signed out: interval 5000 ms,
//   CountDelivery 5, start both timers.
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
    // Waits for a running check, so the worker never outlives the database or the clock. A
    // worker waiting for the dispatch settings is let go with automatic dispatch off, since this
    // thread cannot answer it any more.
    ~CheckRunner() override;

    // Starts a check; false, and nothing started, while one is still running.
    bool start(const CheckInput &input);
    // True from start() until finished() has been emitted.
    bool isRunning() const { return running_; }
    // Read by the worker just before automatic dispatch.
    void setSignedIn(bool signedIn) { signedIn_ = signedIn; }
    // Called on this object's thread when automatic dispatch begins; without one, the settings
    // given to start() are used.
    void setDispatchSettingsSource(std::function<AutoDispatchSettings()> source);

signals:
    void statusText(const QString &text);
    void noticeShown(const QString &text);
    void noticeHidden();
    void credentialsRefused();
    void paymentTypeMissing(const QString &message);
    // For the alerts: an order stored, a refused or failed automatic booking (by the order's
    // number), an order whose earlier post may have reached the platform, and how the check went.
    void orderStored(const StoredOrder &order);
    void bookingFailed(const QString &orderNumber, const QString &result);
    void bookingOutcomeUnknown(qint64 orderId, const QString &orderNumber);
    void checkEnded(const CheckSummary &summary);
    // After every other signal of the check; re-arm the timers here.
    void finished();

private:
    class Relay;
    void onThreadFinished();
    // On the worker: has the source called on this object's thread and waits for its answer.
    AutoDispatchSettings fetchDispatchSettings();

    MarketplaceCheck check_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> signedIn_ = false;
    bool running_ = false;
    std::function<AutoDispatchSettings()> dispatchSettingsSource_; // this object's thread only
    std::atomic<bool> hasDispatchSettingsSource_ = false;
    // Not a blocking queued call: this thread may itself be waiting for the worker, in the
    // destructor, and then lets the worker go instead of answering.
    std::mutex handOverMutex_;
    std::condition_variable handOverDone_;
    bool handOverCancelled_ = false; // under handOverMutex_
};

} // namespace brisfold
