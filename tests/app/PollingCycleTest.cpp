// The marketplace check as the main window drives it: timers, status bar and notice line.
#include "app/TMainForm.h"
#include "common/HttpClient.h"
#include "marketplace/TFCadastroDelivery.h"
#include "support/FakeServices.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class PollingCycle : public ::testing::Test
{
protected:
    PollingCycle() { h.form().show(); }

    // The check runs on its worker; its end re-arms the timers on this thread.
    bool waitForCheck()
    {
        return waitFor([&] { return !h.form().checkRunning(); }, 15000);
    }

    HttpsFake courier;
    HttpsFake marketplace;
    MainWindowHarness h{servicesAt(courier, marketplace)};
    TMainForm &form = h.form();
    QLineEdit *minutes = h.find<QLineEdit>("ComboBoxAgendar");
    QTimer *delivery = h.find<QTimer>("TimerDelivery");
    QTimer *countdown = h.find<QTimer>("TimerCountDelivery");
    QLabel *panel0 = h.find<QLabel>("StatusPanel0");
    QLabel *panel1 = h.find<QLabel>("StatusPanel1");
};

} // namespace

TEST_F(PollingCycle, SignedOutTheCycleOnlyCountsDownEveryFiveSeconds)
{
    minutes->clear();
    form.TimerDeliveryTimer();
    EXPECT_EQ(minutes->text(), QStringLiteral("120"));
    EXPECT_EQ(delivery->interval(), 5000);
    EXPECT_TRUE(delivery->isActive());
    EXPECT_TRUE(countdown->isActive());
    form.TimerCountDeliveryTimer();
    EXPECT_EQ(panel0->text(), QStringLiteral("Proxima Verificação em 4 segundos"));
    form.TimerCountDeliveryTimer();
    form.TimerCountDeliveryTimer();
    form.TimerCountDeliveryTimer();
    EXPECT_EQ(panel0->text(), QStringLiteral("Verificando..."));
    EXPECT_TRUE(marketplace.requests().isEmpty());
}

TEST_F(PollingCycle, ASignedInCheckRunsOnItsWorkerAndReArmsTheTimers)
{
    h.signInFace();
    form.TimerDeliveryTimer();
    EXPECT_TRUE(form.checkRunning());
    EXPECT_FALSE(minutes->isEnabled()) << "the minutes box holds still during a check";
    EXPECT_FALSE(delivery->isActive());
    form.TimerDeliveryTimer(); // a tick during the check starts nothing
    ASSERT_TRUE(waitForCheck());
    EXPECT_EQ(panel1->text(), QStringLiteral("Verificando integração")) << "no credentials row";
    EXPECT_TRUE(minutes->isEnabled());
    EXPECT_TRUE(delivery->isActive());
    EXPECT_EQ(delivery->interval(), 30000);
    EXPECT_TRUE(countdown->isActive());
    form.TimerCountDeliveryTimer();
    EXPECT_EQ(panel0->text(), QStringLiteral("Proxima Verificação em 29 segundos")) << "counting from 30";
}

TEST_F(PollingCycle, RefusedMarketplaceCredentialsShowTheNoticeAndArmTheDialog)
{
    h.db().execute(
        "INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','loja','errada')");
    marketplace.setReply(
        "POST", "/alfredo/auth/token",
        FakeReply::json(R"({"error":"invalid_grant","message":"Credenciais inválidas"})", 401));
    h.signInFace();
    form.TimerDeliveryTimer();
    ASSERT_TRUE(waitForCheck());
    EXPECT_EQ(panel1->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    const QLabel *notice = h.find<QLabel>("LabelAvisos");
    EXPECT_EQ(notice->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_FALSE(notice->isHidden());
    EXPECT_TRUE(h.find<QTimer>("TimerCadastroEntrega")->isActive());
}

// The credentials dialog as the main window opens it and hears from it.
TEST_F(PollingCycle, TheCredentialsDialogOpensFromTheButtonAndTheTimerAndSavingAsksForACheckNow)
{
    TFCadastroDelivery &dialog = h.credentialsDialog();
    QLabel *notice = dialog.findChild<QLabel *>(QStringLiteral("Label3"));
    QLineEdit *login = dialog.findChild<QLineEdit *>(QStringLiteral("EditLogin"));
    QTimer *opener = h.find<QTimer>("TimerCadastroEntrega");

    opener->start();
    form.TimerCadastroEntregaTimer();
    EXPECT_FALSE(opener->isActive());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(notice->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_EQ(h.platform.broughtToFront, 1);

    // Shown again while open: only to the front, typed text kept, the notice emptied.
    login->setText(QStringLiteral("restaurante"));
    h.signInFace();
    QTest::mouseClick(h.find<QPushButton>("SpeedButton2"), Qt::LeftButton);
    EXPECT_EQ(notice->text(), QString());
    EXPECT_EQ(login->text(), QStringLiteral("restaurante"));

    // Saving, with the countdown far from its end: the next check is due at once.
    delivery->setInterval(30000);
    delivery->stop();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Button4")), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(delivery->isActive());
    EXPECT_EQ(delivery->interval(), 1);
    EXPECT_EQ(h.db().query("SELECT LOGIN FROM CONFIGDELIVERY").text(0, u"LOGIN"),
              QStringLiteral("restaurante"));
}
