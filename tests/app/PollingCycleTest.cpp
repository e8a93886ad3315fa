// The marketplace check as the main window drives it: timers, status bar and notice line.
#include "app/TMainForm.h"
#include "common/HttpClient.h"
#include "support/FakePlatform.h"
#include "support/HttpsFake.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class PollingCycle : public ::testing::Test
{
protected:
    PollingCycle()
        : form(platform, messages, ProgramFolder(t.folder()))
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        form.courierSettings.baseUrl = courier.baseUrl();
        form.marketplaceSettings.baseUrl = marketplace.baseUrl();
        form.show();
    }

    // The check runs on its worker; its end re-arms the timers on this thread.
    bool waitForCheck()
    {
        QElapsedTimer clock;
        clock.start();
        while (form.checkRunning() && clock.elapsed() < 15000)
            QTest::qWait(20);
        return !form.checkRunning();
    }

    HttpsFake courier;
    HttpsFake marketplace;
    TestDatabase t;
    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
};

} // namespace

TEST_F(PollingCycle, SignedOutTheCycleOnlyCountsDownEveryFiveSeconds)
{
    form.ComboBoxAgendar->clear();
    form.TimerDeliveryTimer();
    EXPECT_EQ(form.ComboBoxAgendar->text(), QStringLiteral("120"));
    EXPECT_EQ(form.TimerDelivery->interval(), 5000);
    EXPECT_TRUE(form.TimerDelivery->isActive());
    EXPECT_TRUE(form.TimerCountDelivery->isActive());
    form.TimerCountDeliveryTimer();
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Proxima Verificação em 4 segundos"));
    form.TimerCountDeliveryTimer();
    form.TimerCountDeliveryTimer();
    form.TimerCountDeliveryTimer();
    EXPECT_EQ(form.StatusPanel0->text(), QStringLiteral("Verificando..."));
    EXPECT_TRUE(marketplace.requests().isEmpty());
}

TEST_F(PollingCycle, ASignedInCheckRunsOnItsWorkerAndReArmsTheTimers)
{
    form.vLogado = true;
    form.Logado(true);
    form.TimerDeliveryTimer();
    EXPECT_TRUE(form.checkRunning());
    EXPECT_FALSE(form.ComboBoxAgendar->isEnabled()) << "the minutes box holds still during a check";
    EXPECT_FALSE(form.TimerDelivery->isActive());
    form.TimerDeliveryTimer(); // a tick during the check starts nothing
    ASSERT_TRUE(waitForCheck());
    EXPECT_EQ(form.StatusPanel1->text(), QStringLiteral("Verificando integração")) << "no credentials row";
    EXPECT_TRUE(form.ComboBoxAgendar->isEnabled());
    EXPECT_EQ(form.CountDelivery, 30);
    EXPECT_TRUE(form.TimerDelivery->isActive());
    EXPECT_EQ(form.TimerDelivery->interval(), 30000);
    EXPECT_TRUE(form.TimerCountDelivery->isActive());
}

TEST_F(PollingCycle, RefusedMarketplaceCredentialsShowTheNoticeAndArmTheDialog)
{
    t.db().execute(
        "INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','loja','errada')");
    marketplace.setReply(
        "POST", "/alfredo/auth/token",
        FakeReply::json(R"({"error":"invalid_grant","message":"Credenciais inválidas"})", 401));
    form.vLogado = true;
    form.Logado(true);
    form.TimerDeliveryTimer();
    ASSERT_TRUE(waitForCheck());
    EXPECT_EQ(form.StatusPanel1->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_EQ(form.LabelAvisos->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_FALSE(form.LabelAvisos->isHidden());
    EXPECT_TRUE(form.TimerCadastroEntrega->isActive());
}
