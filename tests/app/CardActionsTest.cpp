// Clicks on a card and on the header: the dispatch dialog and the two web pages.
#include "app/TMainForm.h"
#include "board/OrderBoard.h"
#include "board/OrderCardDelegate.h"
#include "board/OrderGrid.h"
#include "common/HttpClient.h"
#include "dispatch/TFEntrega.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

MainWindowHarness::Options courierAt(const HttpsFake &fake)
{
    HttpClient::setExtraCaFile(HttpsFake::caFile());
    MainWindowHarness::Options options;
    options.courierUrl = fake.baseUrl();
    return options;
}

class CardActions : public ::testing::Test
{
protected:
    CardActions()
    {
        h.db().execute(
            "INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,CLIENTE,TELEFONE,ENDERECO,LATITUDE,LONGITUDE,DATAHORA) "
            "VALUES (1,'12345','Ana Souza','44999990000','Rua A, 1',NULL,'-51.9',"
            "strftime('%Y-%m-%d %H:%M:%S','now','-1 hours'))");
        h.signInFace();
        h.form().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&h.form()));
        h.board().reopen();
        h.form().TimerPedidosTimer();
        QApplication::processEvents();
    }

    // A click on the request picture of the current card.
    void clickRequestImage()
    {
        auto *grid = h.find<OrderGrid>("DBCtrlGrid1");
        const QRect card = grid->visualRect(grid->currentIndex());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CardGeometry(card).requestImage.center());
    }

    HttpsFake courier;
    MainWindowHarness h{courierAt(courier)};
    TFEntrega &entrega = h.entrega();
    QTimer *refresh = h.find<QTimer>("TimerPedidos");
};

} // namespace

TEST_F(CardActions, TheRequestImageOpensTheDialogForTheCardsOrder)
{
    QString header;
    QString timeLine;
    bool refreshStopped = false;
    QTimer::singleShot(50, &entrega, [&] {
        header = entrega.findChild<QLabel *>(QStringLiteral("Label_IDPEDIDO"))->text();
        timeLine = entrega.findChild<QLabel *>(QStringLiteral("LabelDATAHORA"))->text();
        refreshStopped = !refresh->isActive();
        entrega.reject();
    });
    clickRequestImage();
    EXPECT_EQ(header, QStringLiteral("\U0001F9FE aiqfome 12345"));
    EXPECT_TRUE(timeLine.startsWith(QStringLiteral("🕗 "))) << timeLine.toStdString();
    EXPECT_TRUE(refreshStopped);
    EXPECT_TRUE(refresh->isActive()) << "closing the dialog switches the refresh back on";
    EXPECT_EQ(refresh->interval(), 1);
    // The estimate goes out on its worker; the dialog may have closed before it arrives.
    ASSERT_TRUE(waitFor([&] { return !courier.requests().isEmpty(); })) << "the dialog asked for the fee";
    const QUrlQuery estimate(QString::fromUtf8(courier.requests().first().query));
    EXPECT_EQ(estimate.queryItemValue(QStringLiteral("lat_desejado")), QString())
        << "a null field reaches the dialog as empty text";
    EXPECT_EQ(estimate.queryItemValue(QStringLiteral("lng_desejado")), QStringLiteral("-51.9"));
}

TEST_F(CardActions, WithAutomaticDispatchOnTheRequestImageDoesNothing)
{
    h.find<QCheckBox>("CheckBoxRebimentoAutomatico")->setChecked(true);
    h.form().TimerPedidosTimer();
    ASSERT_EQ(h.board().currentRequestClickable(), 0);
    bool opened = false;
    // Closes the dialog should it open, so a fault fails the test rather than hanging it.
    QObject::connect(&entrega, &TFEntrega::opened, &entrega, [&] {
        opened = true;
        QTimer::singleShot(0, &entrega, &TFEntrega::reject);
    });
    clickRequestImage();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(courier.requests().isEmpty());
    EXPECT_TRUE(refresh->isActive());
    EXPECT_EQ(refresh->interval(), 2000);
}

TEST_F(CardActions, TheLogosOpenTheirPages)
{
    emit h.board().marketplaceLogoClicked();
    ASSERT_EQ(h.platform.openedPages.size(), 1);
    EXPECT_TRUE(h.platform.openedPages.at(0).endsWith(QStringLiteral("/pedidos")));
}
