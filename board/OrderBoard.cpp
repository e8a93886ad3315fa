#include "board/OrderBoard.h"

#include "board/OrderCard.h"
#include "board/OrderCardDelegate.h"
#include "board/OrderGrid.h"
#include "board/OrderListModel.h"
#include "store/Database.h"
#include "ui/MessageBoxes.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace brisfold {

namespace {

constexpr int firstInterval = 500;
constexpr int signedInInterval = 2000;
constexpr int signedOutInterval = 1000;
constexpr int wheelNotch = 120;

// Holds the grid's redrawing while the rows change; it is drawn once when this ends.
class SuspendedUpdates final
{
public:
    explicit SuspendedUpdates(QWidget *widget)
        : widget_(widget)
    {
        widget_->setUpdatesEnabled(false);
    }
    ~SuspendedUpdates() { widget_->setUpdatesEnabled(true); }
    SuspendedUpdates(const SuspendedUpdates &) = delete;
    SuspendedUpdates &operator=(const SuspendedUpdates &) = delete;

private:
    QWidget *widget_;
};

} // namespace

OrderBoard::OrderBoard(Database &db, QLabel *countLine, std::function<bool()> signedIn,
                       std::function<bool()> automaticDispatchOn, MessageBoxes &messages,
                       const ImageCollection &images, QWidget *parentForGrid, QObject *parent)
    : QObject(parent)
    , db_(db)
    , countLine_(countLine)
    , refreshTimer_(new QTimer(this))
    , signedIn_(std::move(signedIn))
    , automaticDispatchOn_(std::move(automaticDispatchOn))
    , messages_(messages)
    , model_(new OrderListModel(this))
    , grid_(new OrderGrid(images, automaticDispatchOn_, parentForGrid))
    , cardMenu_(new QMenu(grid_))
{
    refreshTimer_->setObjectName(QStringLiteral("TimerPedidos"));
    refreshTimer_->setInterval(firstInterval);
    connect(refreshTimer_, &QTimer::timeout, this, &OrderBoard::TimerPedidosTimer);
    grid_->setModel(model_);
    grid_->hide();
    grid_->viewport()->installEventFilter(this);
    connect(grid_, &OrderGrid::requestImageClicked, this, [this] {
        if (currentRequestClickable() == 1)
            emit requestImageClicked();
    });
    connect(grid_, &OrderGrid::marketplaceLogoClicked, this, &OrderBoard::marketplaceLogoClicked);
    cardMenu_->setObjectName(QStringLiteral("CardMenu"));
    QAction *print = cardMenu_->addAction(QStringLiteral("Imprimir etiqueta"));
    print->setObjectName(QStringLiteral("CardMenuImprimirEtiqueta"));
    connect(print, &QAction::triggered, this,
            [this] { emit printLabelRequested(menuOrder_.ID, menuOrder_.IDPEDIDO); });
    connect(grid_, &OrderGrid::cardContextMenuRequested, this, &OrderBoard::showCardMenu);
    // Queued: a message box must never open from inside a paint.
    connect(
        grid_->cardDelegate(), &OrderCardDelegate::timeNotShown, this,
        [this](qint64, const QString &errorName) { reportTimeNotShown(errorName); }, Qt::QueuedConnection);
}

OrderBoard::~OrderBoard() = default;

void OrderBoard::start()
{
    refreshTimer_->start();
}

void OrderBoard::pause()
{
    refreshTimer_->stop();
}

void OrderBoard::resume()
{
    refreshTimer_->setInterval(1);
    refreshTimer_->start();
}

void OrderBoard::TimerPedidosTimer()
{
    refreshTimer_->stop();
    refreshTimer_->setInterval(signedInInterval);
    if (!signedIn_()) {
        refreshTimer_->setInterval(signedOutInterval);
        refreshTimer_->start();
        return;
    }
    const QModelIndex current = grid_->currentIndex();
    const qint64 rememberedId = current.isValid() ? model_->row(current.row()).ID : 0;
    try {
        const SuspendedUpdates suspended(grid_);
        std::vector<OrderRow> rows = readOrderRows(db_);
        const int count = int(rows.size());
        grid_->setVisible(count >= 1);
        setCountLine(countLineText(count));
        // The remembered order stays current wherever it now sorts; when it left, the last one is.
        const auto found = std::find_if(
            rows.begin(), rows.end(), [rememberedId](const OrderRow &row) { return row.ID == rememberedId; });
        const int currentRow = found != rows.end() ? int(found - rows.begin()) : count - 1;
        showRows(std::move(rows), currentRow);
    } catch (const DatabaseError &error) {
        // The refresh stays stopped until something re-arms the timer.
        messages_.showMessage(grid_->window(), error.text());
        return;
    }
    refreshTimer_->start();
}

void OrderBoard::setCountLine(const QString &text)
{
    if (countLine_->text() == text)
        return;
    countLine_->setText(text);
    emit countLineChanged(text);
}

void OrderBoard::reopen()
{
    grid_->hide();
    std::vector<OrderRow> rows = readOrderRows(db_);
    {
        const SuspendedUpdates suspended(grid_);
        grid_->verticalScrollBar()->setValue(0);
        showRows(std::move(rows), 0);
    }
    setCountLine(QStringLiteral("PEDIDOS"));
}

void OrderBoard::showRows(std::vector<OrderRow> rows, int currentRow)
{
    // The reset forgets the scroll position; keeping it spares the user a jump every refresh.
    const int top = grid_->verticalScrollBar()->value();
    model_->setRows(std::move(rows));
    grid_->doItemsLayout();
    grid_->verticalScrollBar()->setValue(top);
    if (currentRow >= 0 && currentRow < model_->rowCount()) {
        const QModelIndex index = model_->index(currentRow, 0);
        grid_->setCurrentIndex(index);
        grid_->scrollTo(index);
    }
}

bool OrderBoard::FormMouseWheel(int wheelDelta, const QPoint &globalPos)
{
    if (!grid_->isVisible())
        return false;
    QWidget *client = grid_->viewport();
    const QPoint pos = client->mapFromGlobal(globalPos);
    // The right and bottom edges count as inside.
    if (pos.x() < 0 || pos.y() < 0 || pos.x() > client->width() || pos.y() > client->height())
        return false;
    const int steps = std::abs(wheelDelta) / wheelNotch;
    const int rowCount = model_->rowCount();
    const QModelIndex current = grid_->currentIndex();
    if (steps > 0 && rowCount > 0) {
        const int from = current.isValid() ? current.row() : 0;
        const int to = std::clamp(wheelDelta > 0 ? from - steps : from + steps, 0, rowCount - 1);
        const QModelIndex index = model_->index(to, 0);
        grid_->setCurrentIndex(index);
        grid_->scrollTo(index);
    }
    return true;
}

bool OrderBoard::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the grid is being destroyed its viewport still sends events.
    if (event->type() == QEvent::Wheel && watched == grid_->viewport()) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        // Only the vertical wheel moves through the orders.
        if (wheel->angleDelta().y() != 0 &&
            FormMouseWheel(wheel->angleDelta().y(), wheel->globalPosition().toPoint())) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

std::optional<CurrentOrder> OrderBoard::currentOrder() const
{
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    const CardContent card = grid_->cardDelegate()->content(current);
    return CurrentOrder{model_->row(current.row()), card.timeLine, card.requestClickable};
}

int OrderBoard::currentRequestClickable() const
{
    const std::optional<CurrentOrder> current = currentOrder();
    return current ? current->requestClickable : 0;
}

void OrderBoard::showCardMenu(const QPoint &globalPos)
{
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid())
        return;
    // Kept now: a refresh while the menu is open may move the card, never the order chosen.
    menuOrder_ = model_->row(current.row());
    cardMenu_->popup(globalPos);
}

void OrderBoard::reportTimeNotShown(const QString &errorName)
{
    messages_.showMessage(grid_->window(), errorName);
}

} // namespace brisfold
