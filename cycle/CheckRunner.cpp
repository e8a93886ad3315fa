#include "CheckRunner.h"

#include "platform/ThreadPriority.h"

#include <QMetaObject>
#include <optional>

namespace brisfold {

// Carries the worker's reports to the runner's thread; queued, so the worker never waits on
// the UI, and dropped by Qt if the runner is gone.
class CheckRunner::Relay final : public CheckEvents
{
public:
    explicit Relay(CheckRunner *runner)
        : runner_(runner)
    {}

    void statusText(const QString &text) override
    {
        post([r = runner_, text] { emit r->statusText(text); });
    }
    void showNotice(const QString &text) override
    {
        post([r = runner_, text] { emit r->noticeShown(text); });
    }
    void hideNotice() override
    {
        post([r = runner_] { emit r->noticeHidden(); });
    }
    void credentialsRefused() override
    {
        post([r = runner_] { emit r->credentialsRefused(); });
    }
    void paymentTypeMissing(const QString &message) override
    {
        post([r = runner_, message] { emit r->paymentTypeMissing(message); });
    }
    void orderStored(const StoredOrder &order) override
    {
        post([r = runner_, order] { emit r->orderStored(order); });
    }
    void bookingFailed(const DispatchOrder &order, const BookingResult &result) override
    {
        post([r = runner_, number = order.IDPEDIDO, text = result.text] {
            emit r->bookingFailed(number, text);
        });
    }
    void bookingOutcomeUnknown(const DispatchOrder &order) override
    {
        post([r = runner_, id = order.ID, number = order.IDPEDIDO] {
            emit r->bookingOutcomeUnknown(id, number);
        });
    }
    void checkEnded(const CheckSummary &summary) override
    {
        post([r = runner_, summary] { emit r->checkEnded(summary); });
    }
    bool signedIn() const override { return runner_->signedIn_; }
    AutoDispatchSettings dispatchSettings(const AutoDispatchSettings &atStart) override
    {
        return runner_->hasDispatchSettingsSource_ ? runner_->fetchDispatchSettings() : atStart;
    }

private:
    template <typename F> void post(F &&f)
    {
        QMetaObject::invokeMethod(runner_, std::forward<F>(f), Qt::QueuedConnection);
    }

    CheckRunner *runner_;
};

CheckRunner::CheckRunner(Database &db, MarketplaceSettings marketplace, CourierSettings courier,
                         const Clock &clock, QObject *parent)
    : QObject(parent)
    , check_(db, std::move(marketplace), std::move(courier), clock)
{}

CheckRunner::~CheckRunner()
{
    {
        std::lock_guard lock(handOverMutex_);
        handOverCancelled_ = true;
    }
    handOverDone_.notify_all();
    if (thread_)
        thread_->wait();
}

void CheckRunner::setDispatchSettingsSource(std::function<AutoDispatchSettings()> source)
{
    hasDispatchSettingsSource_ = bool(source);
    dispatchSettingsSource_ = std::move(source);
}

AutoDispatchSettings CheckRunner::fetchDispatchSettings()
{
    // Shared, so an answer that comes after the worker gave up has somewhere to go.
    auto answer = std::make_shared<std::optional<AutoDispatchSettings>>();
    QMetaObject::invokeMethod(
        this,
        [this, answer] {
            AutoDispatchSettings settings; // off, should the source fail
            try {
                if (dispatchSettingsSource_)
                    settings = dispatchSettingsSource_();
            } catch (...) {
            }
            {
                std::lock_guard lock(handOverMutex_);
                *answer = std::move(settings);
            }
            handOverDone_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handOverMutex_);
    handOverDone_.wait(lock, [&] { return handOverCancelled_ || answer->has_value(); });
    return answer->value_or(AutoDispatchSettings{});
}

bool CheckRunner::start(const CheckInput &input)
{
    if (running_)
        return false;
    running_ = true;
    thread_.reset(QThread::create([this, input] {
        // The check must not take a processor from the window's repaints and timers.
        lowerCurrentThreadPriority();
        Relay relay(this);
        try {
            check_.run(input, relay);
        } catch (...) {
            // An exception leaving the thread would end the program; the next check starts afresh.
            relay.statusText(QStringLiteral("Exception"));
        }
    }));
    // Queued after every report the worker posted, so finished() comes last.
    connect(thread_.get(), &QThread::finished, this, &CheckRunner::onThreadFinished, Qt::QueuedConnection);
    thread_->start();
    return true;
}

void CheckRunner::onThreadFinished()
{
    thread_->wait();
    thread_.reset();
    running_ = false;
    emit finished();
}

} // namespace brisfold
