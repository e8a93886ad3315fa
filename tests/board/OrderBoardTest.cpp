#include "board/OrderBoard.h"

#include "board/OrderCard.h"
#include "board/OrderCardDelegate.h"
#include "board/OrderGrid.h"
#include "board/OrderListModel.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"
#include "ui/ImageCollection.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <optional>

using namespace brisfold;
using namespace brisfold::test;

namespace {

// The pieces the main window lends the board, over a real database file.
class BoardTest : public ::testing::Test
{
protected:
    BoardTest()
        : board(
              db, &countLine, [this] { return signedIn; }, [this] { return automatic; }, messages, images,
              &window)
    {
        QString error;
        if (!db.open(t.path(), &error))
            ADD_FAILURE() << error.toStdString();
        countLine.setText(QStringLiteral("CALCULANDO PEDIDOS"));
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(board.grid());
    }

    // An order whose arrival is `age` away from the engine's UTC clock ("-12 hours").
    qint64 addOrder(const QString &idPedido, const char *age = "-1 hours", std::optional<QString> mark = {})
    {
        t.db().execute(
            "INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, ENDERECO, TELEFONE, LATITUDE, LONGITUDE, "
            "ID_MCH, DATAHORA) VALUES (1, :IDPEDIDO, 'Cliente ' || :IDPEDIDO, 'Rua ' || :IDPEDIDO, "
            "'44999990000', '-23.42', '-51.93', :ID_MCH, "
            "strftime('%Y-%m-%d %H:%M:%S', 'now', :AGE))",
            {{":IDPEDIDO", idPedido},
             {":ID_MCH", mark ? SqlValue(*mark) : SqlValue()},
             {":AGE", QString::fromLatin1(age)}});
        return t.db().query("SELECT last_insert_rowid() AS ID").integer(0, u"ID");
    }

    void setMark(qint64 id, const char *mark)
    {
        t.db().execute("UPDATE PEDIDOS SET ID_MCH = :M WHERE ID = :ID",
                       {{":M", QString::fromLatin1(mark)}, {":ID", id}});
    }

    QStringList listed() const
    {
        QStringList ids;
        for (int r = 0; r < board.orders().rowCount(); ++r)
            ids.append(board.orders().row(r).IDPEDIDO);
        return ids;
    }

    QString currentIdPedido() const
    {
        const auto current = board.currentOrder();
        return current ? current->order.IDPEDIDO : QString();
    }

    void makeCurrent(int row) { board.grid()->setCurrentIndex(board.orders().index(row, 0)); }

    void showWindow()
    {
        window.resize(900, 4 * 75 + 4);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    TestDatabase t;
    Database db;
    QWidget window;
    QLabel countLine;
    bool signedIn = true;
    bool automatic = false;
    RecordingMessageBoxes messages;
    ImageCollection images;
    OrderBoard board;
    const QTimer &timer = board.refreshTimer();
};

TEST_F(BoardTest, ListsTheLastThirteenHoursByTheEngineClockBoundIncluded)
{
    addOrder(QStringLiteral("12h"), "-12 hours");
    addOrder(QStringLiteral("14h"), "-14 hours");
    addOrder(QStringLiteral("past-bound"), "-46801 seconds");
    addOrder(QStringLiteral("future"), "+1 hours");
    board.TimerPedidosTimer();
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("future"), QStringLiteral("12h")}));

    // The bound itself: decisive only when the insert and the refresh fall in one clock second.
    bool decided = false;
    for (int attempt = 0; attempt < 5 && !decided; ++attempt) {
        const QString before = t.db().query("SELECT strftime('%s', 'now') AS S").text(0, u"S");
        const QString name = QStringLiteral("bound-%1").arg(attempt);
        addOrder(name, "-13 hours");
        board.TimerPedidosTimer();
        const QString after = t.db().query("SELECT strftime('%s', 'now') AS S").text(0, u"S");
        if (before == after) {
            EXPECT_TRUE(listed().contains(name));
            decided = true;
        }
    }
    EXPECT_TRUE(decided);
}

TEST_F(BoardTest, OpenOrdersComeFirstNewestFirstAndAMarkMovesAnOrderDown)
{
    addOrder(QStringLiteral("A-null"));
    const qint64 b = addOrder(QStringLiteral("B-empty"), "-1 hours", QString());
    addOrder(QStringLiteral("C-machine"), "-1 hours", QStringLiteral("MACHINE"));
    addOrder(QStringLiteral("D-delivered"), "-1 hours", QStringLiteral("JA ENTREGUE"));
    addOrder(QStringLiteral("E-null"));
    board.TimerPedidosTimer();
    // Null and empty marks sort alike: by ID only.
    EXPECT_EQ(listed(),
              (QStringList{QStringLiteral("E-null"), QStringLiteral("B-empty"), QStringLiteral("A-null"),
                           QStringLiteral("D-delivered"), QStringLiteral("C-machine")}));

    setMark(b, "MACHINE");
    EXPECT_EQ(listed().at(1), QStringLiteral("B-empty")); // not before the next refresh
    board.TimerPedidosTimer();
    EXPECT_EQ(listed(),
              (QStringList{QStringLiteral("E-null"), QStringLiteral("A-null"), QStringLiteral("D-delivered"),
                           QStringLiteral("C-machine"), QStringLiteral("B-empty")}));
}

TEST_F(BoardTest, CountLineAndGridFollowTheNumberOfOrders)
{
    board.TimerPedidosTimer();
    EXPECT_EQ(countLine.text(), QStringLiteral("SEM PEDIDOS"));
    EXPECT_TRUE(board.grid()->isHidden());
    EXPECT_FALSE(board.currentOrder().has_value());

    // The first order to arrive shows the grid and is current.
    addOrder(QStringLiteral("first"));
    board.TimerPedidosTimer();
    EXPECT_EQ(countLine.text(), QStringLiteral("1 PEDIDOS INTEGRADOS"));
    EXPECT_FALSE(board.grid()->isHidden());
    EXPECT_EQ(currentIdPedido(), QStringLiteral("first"));

    addOrder(QStringLiteral("second"));
    addOrder(QStringLiteral("third"));
    board.TimerPedidosTimer();
    EXPECT_EQ(countLine.text(), QStringLiteral("3 PEDIDOS INTEGRADOS"));

    t.db().execute("DELETE FROM PEDIDOS");
    board.TimerPedidosTimer();
    EXPECT_EQ(countLine.text(), QStringLiteral("SEM PEDIDOS"));
    EXPECT_TRUE(board.grid()->isHidden());
}

TEST_F(BoardTest, CurrentOrderIsKeptByIdAndTheLastBecomesCurrentWhenItLeaves)
{
    const qint64 a = addOrder(QStringLiteral("A"));
    const qint64 b = addOrder(QStringLiteral("B"));
    addOrder(QStringLiteral("C"));
    board.TimerPedidosTimer();
    makeCurrent(1);
    ASSERT_EQ(currentIdPedido(), QStringLiteral("B"));

    // B sorts to the end once marked and stays current there.
    setMark(b, "MACHINE");
    board.TimerPedidosTimer();
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(currentIdPedido(), QStringLiteral("B"));
    EXPECT_EQ(board.grid()->currentIndex().row(), 2);

    // A new order arriving on top does not move the current order either.
    makeCurrent(1);
    addOrder(QStringLiteral("D"));
    board.TimerPedidosTimer();
    EXPECT_EQ(currentIdPedido(), QStringLiteral("A"));

    // A leaves the window: the last order of the list becomes current.
    t.db().execute(
        "UPDATE PEDIDOS SET DATAHORA = strftime('%Y-%m-%d %H:%M:%S', 'now', '-14 hours') WHERE ID = :ID",
        {{":ID", a}});
    board.TimerPedidosTimer();
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("B")}));
    EXPECT_EQ(currentIdPedido(), QStringLiteral("B"));
}

TEST_F(BoardTest, TickRearmsTheTimerAndLeavesTheBoardAloneWhileSignedOut)
{
    addOrder(QStringLiteral("A"));
    signedIn = false;
    // With the table gone, any query would fail loudly: a signed-out tick runs none.
    t.db().execute("ALTER TABLE PEDIDOS RENAME TO PEDIDOS_OLD");
    board.TimerPedidosTimer();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(countLine.text(), QStringLiteral("CALCULANDO PEDIDOS"));
    EXPECT_EQ(board.orders().rowCount(), 0);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 1000);

    t.db().execute("ALTER TABLE PEDIDOS_OLD RENAME TO PEDIDOS");
    signedIn = true;
    board.TimerPedidosTimer();
    EXPECT_EQ(board.orders().rowCount(), 1);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 2000);
}

TEST_F(BoardTest, DatabaseErrorIsShownAndStopsTheRefreshUntilTheTimerIsRearmed)
{
    addOrder(QStringLiteral("A"));
    board.TimerPedidosTimer();
    t.db().execute("ALTER TABLE PEDIDOS RENAME TO PEDIDOS_OLD");
    board.TimerPedidosTimer();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("no such table: PEDIDOS")))
        << messages.shown.first().toStdString();
    EXPECT_FALSE(timer.isActive());
    EXPECT_TRUE(board.grid()->updatesEnabled());
    // The board keeps showing what it had.
    EXPECT_EQ(countLine.text(), QStringLiteral("1 PEDIDOS INTEGRADOS"));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("A")});

    // Someone else re-arms the timer (settings switch, dispatch dialog closing).
    t.db().execute("ALTER TABLE PEDIDOS_OLD RENAME TO PEDIDOS");
    addOrder(QStringLiteral("B"));
    board.resume();
    EXPECT_EQ(timer.interval(), 1);
    board.TimerPedidosTimer();
    EXPECT_EQ(countLine.text(), QStringLiteral("2 PEDIDOS INTEGRADOS"));
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 2000);
}

TEST_F(BoardTest, ReopenForTheSignInMakesTheFirstOrderCurrentAndHidesTheGrid)
{
    addOrder(QStringLiteral("A"));
    addOrder(QStringLiteral("B"));
    addOrder(QStringLiteral("C"));
    board.TimerPedidosTimer();
    ASSERT_EQ(currentIdPedido(), QStringLiteral("A"));

    board.reopen();
    EXPECT_EQ(currentIdPedido(), QStringLiteral("C"));
    EXPECT_TRUE(board.grid()->isHidden());
    EXPECT_EQ(countLine.text(), QStringLiteral("PEDIDOS"));

    board.TimerPedidosTimer();
    EXPECT_EQ(currentIdPedido(), QStringLiteral("C"));
    EXPECT_FALSE(board.grid()->isHidden());
}

TEST_F(BoardTest, CurrentOrderCarriesWhatTheDispatchDialogNeeds)
{
    addOrder(QStringLiteral("12345"));
    t.db().execute("UPDATE PEDIDOS SET CLIENTE = NULL");
    board.TimerPedidosTimer();
    const auto current = board.currentOrder();
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->order.IDPEDIDO, QStringLiteral("12345"));
    EXPECT_EQ(current->order.CLIENTE, QString());
    EXPECT_EQ(current->order.TELEFONE, QStringLiteral("44999990000"));
    EXPECT_EQ(current->order.ENDERECO, QStringLiteral("Rua 12345"));
    EXPECT_EQ(current->order.LATITUDE, QStringLiteral("-23.42"));
    EXPECT_EQ(current->order.LONGITUDE, QStringLiteral("-51.93"));
    // Until told otherwise the cards show the system's separators.
    EXPECT_EQ(current->timeLine,
              QStringLiteral("\U0001F557 ") +
                  *formatArrivalTime(current->order.DATAHORA, RegionalSeparators::system()));
    EXPECT_EQ(current->requestClickable, 1);
    automatic = true;
    EXPECT_EQ(board.currentRequestClickable(), 0);
}

TEST_F(BoardTest, CardsShowTheTimeWithTheSeparatorsTheyAreGiven)
{
    addOrder(QStringLiteral("1"));
    board.TimerPedidosTimer();
    board.grid()->cardDelegate()->setRegionalSeparators(
        RegionalSeparators::of(QLocale(QLocale::Finnish, QLocale::Finland)));
    const auto current = board.currentOrder();
    ASSERT_TRUE(current.has_value());
    // Date and time read apart, so no time zone rule moves the stored wall-clock time.
    const QStringList stored = current->order.DATAHORA.split(u' ');
    ASSERT_EQ(stored.size(), 2);
    const QDate date = QDate::fromString(stored[0], QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(stored[1], QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(date.isValid() && time.isValid());
    EXPECT_EQ(current->timeLine, QStringLiteral("\U0001F557 ") +
                                     date.toString(QStringLiteral("dd'.'MM'.'yyyy")) + u' ' +
                                     time.toString(QStringLiteral("HH'.'mm'.'ss")));
}

TEST_F(BoardTest, FourCardsFillTheGridAtAnyHeight)
{
    for (int i = 0; i < 6; ++i)
        addOrder(QString::number(i));
    board.TimerPedidosTimer();
    showWindow();
    makeCurrent(0);
    for (const int height : {300, 420}) {
        window.resize(900, height);
        QApplication::processEvents();
        ASSERT_EQ(board.grid()->verticalScrollBar()->value(), 0);
        const QWidget *viewport = board.grid()->viewport();
        const QRect fourth = board.grid()->visualRect(board.orders().index(3, 0));
        EXPECT_EQ(fourth.bottom(), 4 * (viewport->height() / 4) - 1) << height;
        EXPECT_EQ(fourth.width(), viewport->width()) << height;
        EXPECT_GE(board.grid()->visualRect(board.orders().index(4, 0)).top(), 4 * (viewport->height() / 4));
    }
    EXPECT_EQ(board.grid()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(BoardTest, CurrentOrderMovedByARefreshIsScrolledIntoView)
{
    for (int i = 0; i < 8; ++i)
        addOrder(QString::number(i));
    board.TimerPedidosTimer();
    showWindow();
    makeCurrent(0);
    ASSERT_EQ(board.grid()->verticalScrollBar()->value(), 0);
    setMark(board.currentOrder()->order.ID, "MACHINE");
    board.TimerPedidosTimer();
    QApplication::processEvents();
    EXPECT_EQ(currentIdPedido(), QStringLiteral("7"));
    EXPECT_EQ(board.grid()->currentIndex().row(), 7);
    EXPECT_TRUE(
        board.grid()->viewport()->rect().contains(board.grid()->visualRect(board.grid()->currentIndex())));

    // Scrolling by the bar keeps the current order among the visible cards.
    board.grid()->verticalScrollBar()->setValue(0);
    EXPECT_EQ(board.grid()->currentIndex().row(), 3);
}

TEST_F(BoardTest, MouseWheelMovesTheCurrentOrderOverTheGridOnly)
{
    for (int i = 0; i < 8; ++i)
        addOrder(QString::number(i));
    board.TimerPedidosTimer();
    showWindow();
    const QWidget *viewport = board.grid()->viewport();
    const QPoint inside = viewport->mapToGlobal(QPoint(100, 40));
    const QPoint edge = viewport->mapToGlobal(QPoint(viewport->width(), viewport->height()));
    struct Case
    {
        int fromRow;
        int delta;
        QPoint at;
        bool handled;
        int toRow;
    };
    const Case cases[] = {
        {3, 120, inside, true, 2},
        {3, -240, inside, true, 5},
        {3, 60, inside, true, 3},
        {3, -119, edge, true, 3},
        {3, 360, edge, true, 0},
        {0, 120, inside, true, 0},
        {6, -480, inside, true, 7},
        {3, 120, viewport->mapToGlobal(QPoint(-1, 40)), false, 3},
        {3, 120, viewport->mapToGlobal(QPoint(100, viewport->height() + 1)), false, 3},
    };
    for (const Case &c : cases) {
        makeCurrent(c.fromRow);
        EXPECT_EQ(board.FormMouseWheel(c.delta, c.at), c.handled) << c.fromRow << ' ' << c.delta;
        EXPECT_EQ(board.grid()->currentIndex().row(), c.toRow) << c.fromRow << ' ' << c.delta;
    }

    // A real wheel event over the cards is consumed by the board instead of scrolling the view.
    makeCurrent(3);
    const QPoint local(100, 40);
    QWheelEvent wheel(local, viewport->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(board.grid()->viewport(), &wheel);
    EXPECT_TRUE(wheel.isAccepted());
    EXPECT_EQ(board.grid()->currentIndex().row(), 4);
    // The current order is kept in view.
    EXPECT_TRUE(viewport->rect().contains(board.grid()->visualRect(board.grid()->currentIndex())));
}

TEST_F(BoardTest, ClickOnACardActsOnThatCard)
{
    for (int i = 0; i < 3; ++i)
        addOrder(QString::number(i));
    board.TimerPedidosTimer();
    showWindow();
    int requests = 0;
    int logos = 0;
    QObject::connect(&board, &OrderBoard::requestImageClicked, [&] { ++requests; });
    QObject::connect(&board, &OrderBoard::marketplaceLogoClicked, [&] { ++logos; });
    QWidget *viewport = board.grid()->viewport();
    const auto card = [&](int row) { return board.grid()->visualRect(board.orders().index(row, 0)); };
    const auto requestImage = [&](int row) {
        return QPoint(card(row).right() - 122 + 43 + 40, card(row).center().y());
    };
    ASSERT_EQ(currentIdPedido(), QStringLiteral("0"));

    // Automatic dispatch on: the picture ignores clicks, the card still becomes current.
    automatic = true;
    QTest::mouseClick(viewport, Qt::LeftButton, {}, requestImage(1));
    EXPECT_EQ(currentIdPedido(), QStringLiteral("1"));
    EXPECT_EQ(requests, 0);

    // Off: one click on another card's picture makes it current and requests for it.
    automatic = false;
    QTest::mouseClick(viewport, Qt::LeftButton, {}, requestImage(0));
    EXPECT_EQ(currentIdPedido(), QStringLiteral("2"));
    EXPECT_EQ(requests, 1);

    // Beside the picture, in the request panel: only the current order changes.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(card(2).right() - 122 + 20, card(2).center().y()));
    EXPECT_EQ(currentIdPedido(), QStringLiteral("0"));
    EXPECT_EQ(requests, 1);

    // The logo of another card only makes it current; on the current card it is a click.
    const QPoint logo(60, card(1).center().y());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, logo);
    EXPECT_EQ(currentIdPedido(), QStringLiteral("1"));
    EXPECT_EQ(logos, 0);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, logo);
    EXPECT_EQ(logos, 1);
    EXPECT_EQ(requests, 1);
}

TEST_F(BoardTest, TimeThatCannotBeShownIsReportedOncePerOrderAfterThePaint)
{
    addOrder(QStringLiteral("good"));
    const qint64 bad = addOrder(QStringLiteral("bad"));
    const qint64 worse = addOrder(QStringLiteral("worse"));
    // Texts that sort after the window's bound are listed even though they are no time.
    t.db().execute("UPDATE PEDIDOS SET DATAHORA = 'null' WHERE ID = :ID", {{":ID", bad}});
    t.db().execute("UPDATE PEDIDOS SET DATAHORA = 'não é data' WHERE ID = :ID", {{":ID", worse}});
    board.TimerPedidosTimer();
    showWindow();
    board.grid()->viewport()->repaint();
    // Painting itself reports nothing: the report is queued.
    EXPECT_TRUE(messages.shown.isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(messages.shown,
              (QStringList{QStringLiteral("EConvertError"), QStringLiteral("EConvertError")}));

    for (int i = 0; i < 3; ++i) {
        board.TimerPedidosTimer();
        board.grid()->viewport()->repaint();
        QApplication::processEvents();
    }
    EXPECT_EQ(messages.shown.size(), 2);
}

} // namespace
