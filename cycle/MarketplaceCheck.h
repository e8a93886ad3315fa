#pragma once

#include "courier/CourierBooking.h"
#include "courier/CourierClient.h"
#include "courier/Schedule.h"
#include "marketplace/MarketplaceClient.h"
#include "store/BoardSettingsStore.h"
#include "store/OrderStore.h"

#include <QString>

namespace brisfold {

class Clock;
class Database;

// The board settings automatic dispatch books with, as the menu panel shows them on the UI
// thread: CheckBoxRebimentoAutomatico, ComboBoxAgendar (a whole number of minutes) and the texts
// of ComboBoxPagamentos, ComboBoxCategorias and ComboBoxRetorno.
using AutoDispatchSettings = BoardSettings;

// Everything a check needs from the window, as values.
struct CheckInput
{
    bool statusPanelEmpty = false; // second status-bar panel, before the first check
    QString courierKey;            // vpTokenMachine
    AutoDispatchSettings dispatch; // as at the start, for receivers that cannot read them anew
    RegionalSeparators separators;
};

// How a check went, for the outage notices: told once, when it ends.
struct CheckSummary
{
    bool marketplaceTried = false;     // a credentials row was signed in with
    bool marketplaceConnected = false; // and "Aiqfome conectado" came of it
    int bookingsPosted = 0;            // posts that went out to the courier platform
    int bookingsUnreached = 0;         // of those, the ones that got a "Sem Conexão" result
    // For the support log: the last marketplace result and the orders of the searches.
    QString marketplaceResult;
    int ordersFound = 0;  // listed by the searches
    int ordersNew = 0;    // of those, not stored before
    int ordersStored = 0; // stored by this check
};

// What a check tells the window; the worker calls these, the receiver hands them to the UI.
class CheckEvents
{
public:
    virtual ~CheckEvents() = default;
    virtual void statusText(const QString &text) = 0;            // second status-bar panel
    virtual void showNotice(const QString &text) = 0;            // LabelAvisos shown with this caption
    virtual void hideNotice() = 0;                               // LabelAvisos hidden
    virtual void credentialsRefused() = 0;                       // arm TimerCadastroEntrega
    virtual void paymentTypeMissing(const QString &message) = 0; // message box, not waited for
    virtual bool signedIn() const = 0;                           // vLogado, at this moment
    // The settings as they are when automatic dispatch begins, so a switch turned off during a
    // long check books nothing; `atStart` are those the check was started with.
    virtual AutoDispatchSettings dispatchSettings(const AutoDispatchSettings &atStart) { return atStart; }
    // The alerts listen to these; the Part's texts above are unchanged by them.
    virtual void orderStored(const StoredOrder &) {}
    virtual void bookingFailed(const DispatchOrder &, const BookingResult &) {}
    virtual void bookingOutcomeUnknown(const DispatchOrder &) {}
    virtual void checkEnded(const CheckSummary &) {}
};

// One marketplace check on the calling thread: every credentials row, then automatic dispatch.
// Nothing raises out of it: every failure ends as a text in the second status-bar panel.
class MarketplaceCheck final
{
public:
    MarketplaceCheck(Database &db, MarketplaceSettings marketplace, CourierSettings courier,
                     const Clock &clock);

    void run(const CheckInput &input, CheckEvents &events) const;

    // Books a courier for every unmarked order of the last 13 hours, in ascending ID, except
    // those whose earlier post may have reached the platform.
    void AbrirEntregaAgendarAutomatico(const CheckInput &input, CheckEvents &events) const;

    // The user's word on an order whose earlier post may have reached the platform: post it again
    // now, with `settings`, unless it got a mark meanwhile ("TRUE" then, nothing posted). Never
    // throws; a database failure comes back as its text.
    BookingResult bookAgain(qint64 orderId, const QString &courierKey, const AutoDispatchSettings &settings,
                            RegionalSeparators separators) const;

private:
    void AbrirEntregaAgendarAutomatico(const CheckInput &input, CheckEvents &events,
                                       CheckSummary &summary) const;
    // Every unmarked order with a posting's record and no booking under way.
    void reportUnknownOutcomes(CheckEvents &events) const;

    Database &db_;
    MarketplaceSettings marketplace_;
    CourierClient courier_;
    const Clock &clock_;
};

// The first status-bar panel while counting down to the next check.
QString countdownText(int secondsLeft);

} // namespace brisfold
