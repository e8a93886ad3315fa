#pragma once

#include "courier/Schedule.h"

#include <QFont>
#include <QRect>
#include <QSet>
#include <QStyledItemDelegate>
#include <functional>

namespace brisfold {

class ImageCollection;
struct CardContent;

// Where the parts of one card lie, from left to right: the marketplace logo, the text area with
// the time column, and the request panel holding the request picture.
struct CardGeometry
{
    static constexpr int logoWidth = 128;
    static constexpr int requestPanelWidth = 122;
    static constexpr QSize requestImageSize{79, 73};
    static constexpr int requestImageLeft = 43;
    static constexpr QPoint timeColumnPos{16, 19};
    static constexpr int timeColumnWidth = 67;

    explicit CardGeometry(const QRect &card);

    QRect card;
    QRect logo;
    QRect textArea;
    QRect requestPanel;
    QRect requestImage;
};

// Paints one card from its row alone: no query, no other row.
class OrderCardDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OrderCardDelegate)

public:
    static constexpr int designCardHeight = 75;

    OrderCardDelegate(const ImageCollection &images, std::function<bool()> automaticDispatchOn,
                      QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The separators of the cards' time lines; the system's, read once, until set.
    RegionalSeparators regionalSeparators() const { return separators_; }
    void setRegionalSeparators(RegionalSeparators separators) { separators_ = separators; }

    int cardHeight() const { return cardHeight_; }
    void setCardHeight(int height) { cardHeight_ = height; }

    // The contents of the card of this row, as it is painted now.
    CardContent content(const QModelIndex &index) const;

signals:
    // Emitted once per order whose arrival time could not be shown; connect it queued, so the
    // report comes after the paint.
    void timeNotShown(qint64 orderId, const QString &errorName) const;

private:
    void drawCard(QPainter *painter, const CardGeometry &geometry, const CardContent &card,
                  bool current) const;

    const ImageCollection &images_;
    std::function<bool()> automaticDispatchOn_;
    RegionalSeparators separators_ = RegionalSeparators::system();
    int cardHeight_ = designCardHeight;
    QFont orderFont_;
    QFont customerFont_;
    QFont detailFont_;
    mutable QSet<qint64> reportedTimeErrors_;
};

} // namespace brisfold
