#include "board/OrderCardDelegate.h"

#include "board/OrderCard.h"
#include "board/OrderListModel.h"
#include "ui/ImageCollection.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

namespace brisfold {

namespace {

const QColor cardColour(0x2a, 0x2e, 0x33);
const QColor currentCardColour(0x35, 0x3b, 0x42);
const QColor logoGroundColour(0x24, 0x27, 0x2b);
const QColor textColour(0xee, 0xf1, 0xf4);
const QColor detailColour(0xc9, 0xd1, 0xd9);
const QColor accentColour(0x26, 0x9d, 0xd9);

// Roboto is the designed face; where it is missing a plain sans of similar width stands in,
// and the pictographs fall back to the colour emoji font.
QFont cardFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Roboto"), QStringLiteral("Segoe UI"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

constexpr int textFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

// Draws centred, wrapped text from the top of `area` and returns the height it took.
int drawLine(QPainter *painter, const QRect &area, const QFont &font, const QString &text)
{
    painter->setFont(font);
    QRect used;
    painter->drawText(area, textFlags, text, &used);
    return used.height();
}

} // namespace

CardGeometry::CardGeometry(const QRect &cardRect)
    : card(cardRect)
    , logo(cardRect.left(), cardRect.top(), logoWidth, cardRect.height())
    , requestPanel(cardRect.right() + 1 - requestPanelWidth, cardRect.top(), requestPanelWidth,
                   cardRect.height())
{
    textArea =
        QRect(QPoint(logo.right() + 1, cardRect.top()), QPoint(requestPanel.left() - 1, cardRect.bottom()));
    // Anchored to the panel's left and bottom edges, one pixel above the bottom as designed.
    requestImage = QRect(
        QPoint(requestPanel.left() + requestImageLeft, requestPanel.bottom() - requestImageSize.height()),
        requestImageSize);
}

OrderCardDelegate::OrderCardDelegate(const ImageCollection &images, std::function<bool()> automaticDispatchOn,
                                     QObject *parent)
    : QStyledItemDelegate(parent)
    , images_(images)
    , automaticDispatchOn_(std::move(automaticDispatchOn))
    , orderFont_(cardFont(17, true))
    , customerFont_(cardFont(15, true))
    , detailFont_(cardFont(13, false))
{}

CardContent OrderCardDelegate::content(const QModelIndex &index) const
{
    const auto *model = static_cast<const OrderListModel *>(index.model());
    return DBCtrlGrid1PaintPanel(model->row(index.row()), automaticDispatchOn_ && automaticDispatchOn_(),
                                 separators_);
}

void OrderCardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    if (!index.isValid())
        return;
    const CardContent card = content(index);
    if (!card.errorName.isEmpty()) {
        const qint64 id = static_cast<const OrderListModel *>(index.model())->row(index.row()).ID;
        if (!reportedTimeErrors_.contains(id)) {
            reportedTimeErrors_.insert(id);
            emit timeNotShown(id, card.errorName);
        }
    }
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const bool current = view && view->currentIndex() == index;
    drawCard(painter, CardGeometry(option.rect), card, current);
}

void OrderCardDelegate::drawCard(QPainter *painter, const CardGeometry &geometry, const CardContent &card,
                                 bool current) const
{
    painter->save();
    painter->setClipRect(geometry.card);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    // A small gap between cards keeps them apart without a border.
    const QRectF ground = QRectF(geometry.card).adjusted(0, 2, 0, -2);
    QPainterPath shape;
    shape.addRoundedRect(ground, 8, 8);
    painter->fillPath(shape, current ? currentCardColour : cardColour);
    if (current) {
        // A marker on the left edge instead of a focus frame.
        painter->fillRect(QRectF(ground.left(), ground.top() + 8, 4, ground.height() - 16), accentColour);
    }

    QPainterPath logoGround;
    logoGround.addRoundedRect(QRectF(geometry.logo).adjusted(10, 6, -10, -6), 10, 10);
    painter->fillPath(logoGround, logoGroundColour);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const auto drawPicture = [&](int position, const QRect &target) {
        const QSize side(std::min(target.width(), target.height()),
                         std::min(target.width(), target.height()));
        QRect placed(QPoint(), side);
        placed.moveCenter(target.center());
        painter->drawPixmap(placed, images_.pixmap(position, side, dpr));
    };
    drawPicture(picture::logoAiqfome, QRect(geometry.logo).adjusted(14, 9, -14, -9));
    drawPicture(card.requestPicture, geometry.requestImage);

    painter->setPen(textColour);
    const QRect text = geometry.textArea;
    // The centred lines keep clear of the time column on both sides, so a long line wraps
    // instead of running over the time, and stays centred on the card.
    const int side = CardGeometry::timeColumnPos.x() + CardGeometry::timeColumnWidth;
    const QRect lines = text.adjusted(side, 0, -side, 0);
    int y = text.top() + 5;
    y += drawLine(painter, QRect(lines.left(), y, lines.width(), text.bottom() - y), orderFont_,
                  card.orderLine) +
         5;
    y += drawLine(painter, QRect(lines.left(), y, lines.width(), text.bottom() - y), customerFont_,
                  card.customerLine);
    painter->setPen(detailColour);
    drawLine(painter, QRect(lines.left(), y, lines.width(), text.bottom() - y), detailFont_,
             card.addressLine);
    if (!card.timeLine.isEmpty()) {
        const QPoint at = text.topLeft() + CardGeometry::timeColumnPos;
        drawLine(painter, QRect(at.x(), at.y(), CardGeometry::timeColumnWidth, text.bottom() - at.y()),
                 detailFont_, card.timeLine);
    }
    painter->restore();
}

QSize OrderCardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(std::max(option.rect.width(), 1), cardHeight_);
}

bool OrderCardDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                  const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() &&
        CardGeometry(option.rect).requestImage.contains(event->pos())) {
        QToolTip::showText(event->globalPos(), QStringLiteral("Solicitar entregador"), view);
        return true;
    }
    QToolTip::hideText();
    return false;
}

} // namespace brisfold
