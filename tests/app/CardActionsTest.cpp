// Clicks on a card and on the header: the dispatch dialog and the two web pages.
#include "app/TMainForm.h"
#include "board/OrderBoard.h"
#include "dispatch/TFEntrega.h"
#include "support/FakePlatform.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class CardActions : public ::testing::Test
{
protected:
    CardActions()
        : form(platform, messages, ProgramFolder(t.folder()))
    {
        entrega = new TFEntrega(form);
        form.setDialogs(entrega, nullptr);
        t.db().execute(
            "INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,CLIENTE,TELEFONE,ENDERECO,LATITUDE,LONGITUDE,DATAHORA) "
            "VALUES (1,'12345','Ana Souza','44999990000','Rua A, 1',NULL,'-51.9',"
            "strftime('%Y-%m-%d %H:%M:%S','now','-1 hours'))");
        form.vLogado = true;
        form.Logado(true);
        form.show();
        form.board().reopen();
        form.TimerPedidosTimer();
    }

    TestDatabase t;
    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
    TFEntrega *entrega = nullptr;
};

} // namespace

TEST_F(CardActions, TheRequestImageOpensTheDialogForTheCardsOrder)
{
    QString idPedido;
    QString timeLine;
    QString latitude = QStringLiteral("unset");
    bool refreshStopped = false;
    QTimer::singleShot(50, [&] {
        idPedido = entrega->IDPEDIDO;
        timeLine = entrega->LabelDATAHORA->text();
        latitude = entrega->LAT;
        refreshStopped = !form.TimerPedidos->isActive();
        entrega->reject();
    });
    emit form.board().requestImageClicked();
    EXPECT_EQ(idPedido, QStringLiteral("aiqfome 12345"));
    EXPECT_TRUE(timeLine.startsWith(QStringLiteral("🕗 "))) << timeLine.toStdString();
    EXPECT_EQ(latitude, QString()) << "a null field reaches the dialog as empty text";
    EXPECT_TRUE(refreshStopped);
    EXPECT_TRUE(form.TimerPedidos->isActive()) << "closing the dialog switches the refresh back on";
    EXPECT_EQ(form.TimerPedidos->interval(), 1);
}

TEST_F(CardActions, WithAutomaticDispatchOnTheRequestImageDoesNothing)
{
    form.CheckBoxRebimentoAutomatico->setChecked(true);
    form.TimerPedidosTimer();
    ASSERT_EQ(form.board().currentRequestClickable(), 0);
    form.VirtualImage3Click();
    EXPECT_FALSE(entrega->isVisible());
    EXPECT_TRUE(form.TimerPedidos->isActive());
    EXPECT_EQ(form.TimerPedidos->interval(), 2000);
}

TEST_F(CardActions, TheLogosOpenTheirPages)
{
    emit form.board().marketplaceLogoClicked();
    ASSERT_EQ(platform.openedPages.size(), 1);
    EXPECT_TRUE(platform.openedPages.at(0).endsWith(QStringLiteral("/pedidos")));
}
