#pragma once

#include "board/BoardQuery.h"

#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

class QLabel;
class QMenu;
class QTimer;
class QWidget;

namespace brisfold {

class Database;
class ImageCollection;
class MessageBoxes;
class OrderGrid;
class OrderListModel;

// The current order as the card actions need it.
struct CurrentOrder
{
    OrderRow order;
    // The card's time line: the clock pictograph and the arrival time; empty when the time
    // could not be shown.
    QString timeLine;
    // 1 when a click on the card's request picture opens the dispatch dialog, 0 otherwise.
    int requestClickable = 0;
};

// The order board: the list of the last 13 hours' orders, its refresh, the count line and the
// card grid. It owns the grid and its refresh timer `TimerPedidos` (500 ms, not yet armed), and
// steers the count line it is given.
class OrderBoard final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OrderBoard)

public:
    OrderBoard(Database &db, QLabel *countLine, std::function<bool()> signedIn,
               std::function<bool()> automaticDispatchOn, MessageBoxes &messages,
               const ImageCollection &images, QWidget *parentForGrid, QObject *parent = nullptr);
    ~OrderBoard() override;

    // `DBCtrlGrid1`, created hidden inside the parent given.
    OrderGrid *grid() const { return grid_; }
    const OrderListModel &orders() const { return *model_; }
    const QTimer &refreshTimer() const { return *refreshTimer_; }

    // Arms the refresh with the interval it has.
    void start();
    // No refresh until resume(): the list must not change under the dispatch dialog.
    void pause();
    // Refreshes at once, so a change shows now, and then at the usual period again.
    void resume();

    // The refresh tick: re-arms the timer itself (2000 ms signed in, 1000 ms signed out) and leaves
    // it stopped after a database error, which it shows in a message box.
    void TimerPedidosTimer();
    // For the sign-in: runs the query again, makes the first order current, hides the grid and
    // sets the count line to "PEDIDOS". Throws DatabaseError.
    void reopen();
    // Moves the current order by the wheel turn when `globalPos` lies over the grid; returns
    // whether the turn was consumed.
    bool FormMouseWheel(int wheelDelta, const QPoint &globalPos);

    std::optional<CurrentOrder> currentOrder() const;
    // The clickable flag of the current card: 0 while there is none.
    int currentRequestClickable() const;

signals:
    // The request picture of a card was clicked while its clickable flag is 1; that card's
    // order is current.
    void requestImageClicked();
    // The marketplace logo of the card that was already current was clicked.
    void marketplaceLogoClicked();
    // The count line's text changed.
    void countLineChanged(const QString &text);
    // "Imprimir etiqueta" was chosen in the context menu of the card of that order.
    void printLabelRequested(qint64 orderId, const QString &IDPEDIDO);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRows(std::vector<OrderRow> rows, int currentRow);
    void reportTimeNotShown(const QString &errorName);
    void setCountLine(const QString &text);
    void showCardMenu(const QPoint &globalPos);

    Database &db_;
    QLabel *countLine_;
    QTimer *refreshTimer_;
    std::function<bool()> signedIn_;
    std::function<bool()> automaticDispatchOn_;
    MessageBoxes &messages_;
    OrderListModel *model_;
    OrderGrid *grid_;
    // The card's context menu, and the order it was opened for.
    QMenu *cardMenu_;
    OrderRow menuOrder_;
};

} // namespace brisfold
