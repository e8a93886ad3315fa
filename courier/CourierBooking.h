#pragma once

#include <QString>
#include <optional>

namespace brisfold {

class CourierClient;
class DispatchClaim;

// How one booking's post ended.
struct BookingResult
{
    QString text; // "TRUE", or the platform's refusal or the fault, as AbrirEntrega gives it
    // The post went out but no reply came back: the platform may have booked it, and the
    // posting's record stays.
    bool outcomeUnknown = false;
    // No reply came back, whether or not the post went out: a "Sem Conexão" result.
    bool connectionFailure = false;
    // The platform's `id_mch` of a booking, for the support log.
    QString bookingId;
    // Booked, but the mark could not be written (the engine's text); no later claim posts the
    // order again within this run.
    std::optional<QString> markError;

    bool booked() const;
};

// What the user is asked about an order whose earlier post may have reached the platform.
QString unknownOutcomeQuestion(const QString &orderNumber);

// The one way both the dispatch dialog and the automatic dispatch book a claimed order: the
// posting's record, the post, then the mark, or the record's removal when the platform answered
// without booking or the post never went out. Throws DatabaseError when the record cannot be
// written, and then nothing is posted.
BookingResult postBooking(const CourierClient &courier, DispatchClaim &claim, const QString &key,
                          const QString &email, const QString &password, const QString &document);

} // namespace brisfold
