#include "courier/CourierBooking.h"

#include "common/ReplyDecoder.h"
#include "courier/CourierClient.h"
#include "store/Database.h"
#include "store/DispatchClaim.h"

namespace brisfold {

QString unknownOutcomeQuestion(const QString &orderNumber)
{
    return QStringLiteral(
               "Não sabemos se a Trevant recebeu o pedido aiqfome %1. Confira na página de gestão. "
               "Solicitar entregador de novo?")
        .arg(orderNumber);
}

bool BookingResult::booked() const
{
    return text == QStringView(resultOk);
}

BookingResult postBooking(const CourierClient &courier, DispatchClaim &claim, const QString &key,
                          const QString &email, const QString &password, const QString &document)
{
    claim.recordPosting();
    BookingResult result;
    result.text =
        courier.AbrirEntrega(key, email, password, document, &result.outcomeUnknown, &result.bookingId);
    result.connectionFailure = result.text.startsWith(noConnectionText(QString()));
    try {
        if (result.booked())
            claim.markBooked();
        else if (!result.outcomeUnknown)
            claim.clearPosting();
    } catch (const DatabaseError &e) {
        // A record left behind only makes the order ask before it is posted again.
        if (result.booked())
            result.markError = e.text();
    }
    return result;
}

} // namespace brisfold
