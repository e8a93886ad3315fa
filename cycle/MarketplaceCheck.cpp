#include "MarketplaceCheck.h"

#include "common/ReplyDecoder.h"
#include "courier/CourierBooking.h"
#include "courier/DeliveryDocument.h"
#include "courier/PaymentTypes.h"
#include "store/CompanyStore.h"
#include "store/Database.h"
#include "store/MarketplaceCredentialsStore.h"
#include "store/OrderStore.h"
#include "supportlog/EventLog.h"

#include <QElapsedTimer>
#include <optional>
#include <stdexcept>
#include <vector>

namespace brisfold {

namespace {

const QString loginRefused = QStringLiteral("401 LOGIN");

// A board setting that is not the number it should be.
class ConversionError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

int wholeMinutes(const QString &text)
{
    bool valid = false;
    const int minutes = text.trimmed().toInt(&valid);
    if (!valid)
        throw ConversionError("minutes");
    return minutes;
}

} // namespace

QString countdownText(int secondsLeft)
{
    if (secondsLeft >= 2)
        return QStringLiteral("Proxima Verificação em %1 segundos").arg(secondsLeft);
    return QStringLiteral("Verificando...");
}

MarketplaceCheck::MarketplaceCheck(Database &db, MarketplaceSettings marketplace, CourierSettings courier,
                                   const Clock &clock)
    : db_(db)
    , marketplace_(std::move(marketplace))
    , courier_(std::move(courier))
    , clock_(clock)
{}

void MarketplaceCheck::run(const CheckInput &input, CheckEvents &events) const
{
    if (input.statusPanelEmpty)
        events.statusText(QStringLiteral("Verificando integração"));

    std::vector<MarketplaceCredentials> rows;
    try {
        // Every row is read before the first request, so a table missing a column (an older
        // build's, or edited by hand) fails here as a whole rather than part-way through.
        rows = MarketplaceCredentialsStore(db_).all();
    } catch (const DatabaseError &e) {
        // Automatic dispatch still runs: its orders do not depend on the marketplace rows.
        events.statusText(e.text());
    }

    QElapsedTimer took;
    took.start();
    eventlog::write(eventlog::checkStarted());
    CheckSummary summary;
    const MarketplaceClient client(
        marketplace_, clock_, [&events](const QString &text) { events.statusText(text); },
        [&events, &summary](const StoredOrder &order) {
            ++summary.ordersStored;
            eventlog::write(eventlog::orderStored(order));
            events.orderStored(order);
        },
        [&summary](int found, int fresh) {
            summary.ordersFound += found;
            summary.ordersNew += fresh;
        });
    for (const MarketplaceCredentials &row : rows) {
        if (row.LOGIN.isEmpty() && row.SENHA.isEmpty()) {
            events.statusText(QStringLiteral("Aiqfome não cadastrado"));
            continue;
        }
        summary.marketplaceTried = true;
        const QString result = client.ObterTokenAiqfome(row.LOGIN, row.SENHA, QString::number(row.ID), db_);
        summary.marketplaceResult =
            result == QStringView(resultOk) ? QStringLiteral("Aiqfome conectado") : result;
        if (result == QStringView(resultOk)) {
            summary.marketplaceConnected = true;
            events.statusText(QStringLiteral("Aiqfome conectado"));
            events.hideNotice();
        } else if (result == loginRefused) {
            const QString text = QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO");
            events.statusText(text);
            events.showNotice(text);
            events.credentialsRefused();
        } else {
            events.statusText(result);
            events.showNotice(result);
        }
    }

    AbrirEntregaAgendarAutomatico(input, events, summary);
    reportUnknownOutcomes(events);
    eventlog::write(eventlog::checkEnded(summary, took.elapsed()));
    events.checkEnded(summary);
}

void MarketplaceCheck::AbrirEntregaAgendarAutomatico(const CheckInput &input, CheckEvents &events) const
{
    CheckSummary summary;
    AbrirEntregaAgendarAutomatico(input, events, summary);
}

void MarketplaceCheck::reportUnknownOutcomes(CheckEvents &events) const
{
    try {
        for (const DispatchOrder &order : OrderStore(db_).outcomeUnknown())
            events.bookingOutcomeUnknown(order);
    } catch (const DatabaseError &) {
        // The dispatch has reported the database's state already; the next check asks again.
    }
}

BookingResult MarketplaceCheck::bookAgain(qint64 orderId, const QString &courierKey,
                                          const AutoDispatchSettings &settings,
                                          RegionalSeparators separators) const
{
    BookingResult result;
    try {
        OrderStore store(db_);
        const std::optional<DispatchOrder> order = store.order(orderId);
        const std::optional<CompanyProfile> company = CompanyStore(db_).read();
        if (!order || !company) {
            result.text = QString::fromUtf16(resultOk);
            return result;
        }
        DispatchClaim claim = store.claim(orderId);
        if (!claim.held()) {
            // Marked meanwhile, or being booked by the dialog or the automatic dispatch now.
            result.text = QString::fromUtf16(resultOk);
            return result;
        }
        DeliveryChoices choices;
        choices.paymentCode = PaymentTypes::codeForName(settings.payment);
        if (choices.paymentCode.isEmpty()) {
            result.text = PaymentTypes::missingMessage();
            return result;
        }
        choices.returnChoice = settings.returnChoice;
        choices.category = settings.category;
        choices.schedule = Schedule::from(clock_, wholeMinutes(settings.minutes), separators);
        const DeliveryDocument document = DeliveryDocument::of(*company, *order, choices);
        QElapsedTimer posting;
        posting.start();
        result = postBooking(courier_, claim, courierKey, company->EMAIL, company->SENHA, document.toJson());
        eventlog::write(eventlog::booking(QStringLiteral("automática, repetida a pedido do usuário"),
                                          order->IDPEDIDO, choices, result, posting.elapsed()));
        return result;
    } catch (const DatabaseError &e) {
        result.text = e.text();
    } catch (const ConversionError &) {
        result.text = QStringLiteral("ConversionError");
    } catch (...) {
        result.text = QStringLiteral("Exception");
    }
    return result;
}

void MarketplaceCheck::AbrirEntregaAgendarAutomatico(const CheckInput &input, CheckEvents &events,
                                                     CheckSummary &summary) const
{
    if (!events.signedIn())
        return;
    try {
        const AutoDispatchSettings settings = events.dispatchSettings(input.dispatch);
        if (!settings.enabled)
            return;
        OrderStore store(db_);
        const std::vector<DispatchOrder> orders = store.awaitingCourier();
        if (orders.empty())
            return;

        const std::optional<CompanyProfile> company = CompanyStore(db_).read();
        // Signed out during the check: there is no account left to book with.
        if (!company)
            return;

        DeliveryChoices choices;
        choices.paymentCode = PaymentTypes::codeForName(settings.payment);
        if (choices.paymentCode.isEmpty()) {
            events.paymentTypeMissing(PaymentTypes::missingMessage());
            return;
        }
        choices.returnChoice = settings.returnChoice;
        choices.category = settings.category;
        // One moment for the whole run, so every order of it carries the same "data" and "hora".
        choices.schedule = Schedule::from(clock_, wholeMinutes(settings.minutes), input.separators);

        for (const DispatchOrder &order : orders) {
            // The dispatch dialog may have booked it since the selection, or be booking it now.
            DispatchClaim claim = store.claim(order.ID);
            if (claim.bookedUnmarked()) {
                claim.markBooked();
                continue;
            }
            // An earlier post may have reached the platform: the user is asked instead.
            if (!claim.held() || claim.outcomeUnknown())
                continue;

            const DeliveryDocument document = DeliveryDocument::of(*company, order, choices);
            QElapsedTimer posting;
            posting.start();
            const BookingResult result = postBooking(courier_, claim, input.courierKey, company->EMAIL,
                                                     company->SENHA, document.toJson());
            eventlog::write(eventlog::booking(QStringLiteral("automática"), order.IDPEDIDO, choices, result,
                                              posting.elapsed()));
            ++summary.bookingsPosted;
            if (result.connectionFailure)
                ++summary.bookingsUnreached;
            if (result.markError)
                throw DatabaseError(result.markError->toStdString());
            if (result.booked())
                continue;
            events.statusText(QStringLiteral("Erro: ") + result.text);
            if (!result.outcomeUnknown)
                events.bookingFailed(order, result);
        }
    } catch (const DatabaseError &) {
        events.statusText(QStringLiteral("DatabaseError"));
    } catch (const ConversionError &) {
        events.statusText(QStringLiteral("ConversionError"));
    } catch (...) {
        events.statusText(QStringLiteral("Exception"));
    }
}

} // namespace brisfold
