#pragma once

#include "board/BoardQuery.h"
#include "courier/Schedule.h"
#include "resources/PictureIds.h"

#include <QString>
#include <optional>

namespace brisfold {

// What one card shows, filled from its order alone.
struct CardContent
{
    int requestPicture = picture::entregador4;
    // 1: a click on the request picture opens the dispatch dialog; 0: the click is ignored.
    int requestClickable = 0;
    QString orderLine;
    QString customerLine;
    QString addressLine;
    // Empty while the arrival time could not be converted.
    QString timeLine;
    // The type name of the error that stopped the filling, empty when every line was written.
    QString errorName;
};

// The name reported for a text that is no date and time.
inline constexpr char convertErrorName[] = "EConvertError";

// "yyyy-mm-dd hh:nn:ss" to "dd/mm/yyyy hh:nn:ss", with the regional date separator in place of
// '/' and the regional time separator in place of ':'; nothing when the text is no valid date
// and time.
std::optional<QString> formatArrivalTime(const QString &dataHora, RegionalSeparators separators);

// The painting step of one card: picture, clickable flag and the four lines.
CardContent DBCtrlGrid1PaintPanel(const OrderRow &row, bool automaticDispatch, RegionalSeparators separators);

} // namespace brisfold
