#pragma once

#include <QListView>
#include <QPersistentModelIndex>
#include <functional>

namespace brisfold {

class ImageCollection;
class OrderCardDelegate;

// The card grid: one column of cards, four of them filling the visible height, with the
// current order always among the visible cards.
class OrderGrid final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OrderGrid)

public:
    static constexpr int visibleCards = 4;

    OrderGrid(const ImageCollection &images, std::function<bool()> automaticDispatchOn,
              QWidget *parent = nullptr);

    OrderCardDelegate *cardDelegate() const { return delegate_; }

signals:
    // A click (press and release) on the request picture of a card; the card is current by then.
    void requestImageClicked();
    // A click on the marketplace logo of a card that was already current before the press.
    void marketplaceLogoClicked();
    // A context menu was asked for over a card (right click or menu key); the card is current by then.
    void cardContextMenuRequested(const QPoint &globalPos);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    enum class Part
    {
        None,
        Logo,
        RequestImage,
        Other,
    };
    Part partAt(const QPoint &pos, QModelIndex *index = nullptr) const;
    void fitCardHeight();
    void keepCurrentInView();

    OrderCardDelegate *delegate_;
    QPersistentModelIndex pressedIndex_;
    Part pressedPart_ = Part::None;
    bool pressedWasCurrent_ = false;
};

} // namespace brisfold
