#include "board/OrderGrid.h"

#include "board/OrderCard.h"
#include "board/OrderCardDelegate.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

namespace brisfold {

OrderGrid::OrderGrid(const ImageCollection &images, std::function<bool()> automaticDispatchOn,
                     QWidget *parent)
    : QListView(parent)
    , delegate_(new OrderCardDelegate(images, std::move(automaticDispatchOn), this))
{
    setObjectName(QStringLiteral("DBCtrlGrid1"));
    setItemDelegate(delegate_);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    // The scroll bar moves through the orders as the card grid's does: the current order
    // stays among the visible cards.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &OrderGrid::keepCurrentInView);
}

void OrderGrid::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    fitCardHeight();
}

void OrderGrid::fitCardHeight()
{
    const int height = std::max(1, viewport()->height() / visibleCards);
    if (height == delegate_->cardHeight())
        return;
    delegate_->setCardHeight(height);
    doItemsLayout();
}

void OrderGrid::keepCurrentInView()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model())
        return;
    const int first = verticalScrollBar()->value();
    const int last = std::min(first + visibleCards - 1, model()->rowCount() - 1);
    if (current.row() < first)
        setCurrentIndex(model()->index(first, 0));
    else if (current.row() > last)
        setCurrentIndex(model()->index(last, 0));
}

OrderGrid::Part OrderGrid::partAt(const QPoint &pos, QModelIndex *index) const
{
    const QModelIndex at = indexAt(pos);
    if (index)
        *index = at;
    if (!at.isValid())
        return Part::None;
    const CardGeometry geometry(visualRect(at));
    if (geometry.logo.contains(pos))
        return Part::Logo;
    if (geometry.requestImage.contains(pos))
        return Part::RequestImage;
    return Part::Other;
}

void OrderGrid::mousePressEvent(QMouseEvent *event)
{
    pressedIndex_ = QPersistentModelIndex();
    pressedPart_ = Part::None;
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QModelIndex index;
    const Part part = partAt(event->position().toPoint(), &index);
    if (part == Part::None)
        return;
    setFocus(Qt::MouseFocusReason);
    pressedWasCurrent_ = index == currentIndex();
    // One press makes the card current, so the click that follows acts on this card's order.
    setCurrentIndex(index);
    pressedIndex_ = index;
    pressedPart_ = part;
    event->accept();
}

void OrderGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const QPersistentModelIndex pressed = pressedIndex_;
    const Part pressedPart = pressedPart_;
    pressedIndex_ = QPersistentModelIndex();
    pressedPart_ = Part::None;
    if (event->button() != Qt::LeftButton || !pressed.isValid())
        return;
    QModelIndex index;
    const Part part = partAt(event->position().toPoint(), &index);
    if (index != pressed || part != pressedPart)
        return;
    if (part == Part::RequestImage)
        emit requestImageClicked();
    else if (part == Part::Logo && pressedWasCurrent_)
        emit marketplaceLogoClicked();
}

void OrderGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click still makes its card current, but clicks nothing.
    mousePressEvent(event);
    pressedIndex_ = QPersistentModelIndex();
    pressedPart_ = Part::None;
}

void OrderGrid::mouseMoveEvent(QMouseEvent *event)
{
    QModelIndex index;
    const Part part = partAt(event->position().toPoint(), &index);
    const bool clickable =
        part == Part::Logo || (part == Part::RequestImage && delegate_->content(index).requestClickable == 1);
    viewport()->setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    event->accept();
}

void OrderGrid::contextMenuEvent(QContextMenuEvent *event)
{
    // From the keyboard the menu is for the current card, at that card.
    const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
    const QModelIndex index = byMouse ? indexAt(event->pos()) : currentIndex();
    if (!index.isValid()) {
        event->ignore();
        return;
    }
    // As a left press would: the menu's entries act on this card's order.
    setFocus(Qt::MouseFocusReason);
    setCurrentIndex(index);
    const QPoint pos = byMouse ? event->pos() : visualRect(index).center();
    emit cardContextMenuRequested(viewport()->mapToGlobal(pos));
    event->accept();
}

} // namespace brisfold
