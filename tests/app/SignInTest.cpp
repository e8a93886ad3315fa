// The "ENTRAR" action end to end, against a courier platform fake on loopback HTTPS.
#include "BuildConfig.h"
#include "app/TMainForm.h"
#include "common/HttpClient.h"
#include "marketplace/TFCadastroDelivery.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

QByteArray profile(const char *status = "A", const char *payments = R"(["f","Z"])")
{
    return QByteArray(
               R"({"response":{"id":77,"nome":"Pizzaria Bella","endereco":"Av. Brasil, 100","bairro":"Centro",)"
               R"("cidade":"Maringá","uf":"PR","cep":"87013-000","lat":"-23.4210","lng":"-51.9331",)"
               R"("status_empresa":")") +
           status + R"(","tipos_pagamento":)" + payments +
           R"(,"categorias":[{"nome":"Moto"},{"nome":"Carro"}],"telefone":"44 3000-0000","documento":"123"}})";
}

MainWindowHarness::Options courierAt(const HttpsFake &fake)
{
    HttpClient::setExtraCaFile(HttpsFake::caFile());
    MainWindowHarness::Options options;
    options.courierUrl = fake.baseUrl();
    return options;
}

class SignIn : public ::testing::Test
{
protected:
    SignIn()
    {
        h.form().show();
        // A stored marketplace row, so the credentials dialog stays closed unless a test removes it.
        h.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN,SENHA) VALUES ('loja','x')");
    }

    void signIn(const QString &email, const QString &password)
    {
        this->email->setText(email);
        this->password->setText(password);
        QTest::mouseClick(button, Qt::LeftButton);
        waitForAnswer();
    }

    // The platform is asked on a worker; its answer is in once the connecting state is left.
    void waitForAnswer()
    {
        EXPECT_TRUE(waitFor([this] { return button->text() == QStringLiteral("ENTRAR"); }));
    }

    void expectConnectingStateLeft()
    {
        EXPECT_EQ(button->text(), QStringLiteral("ENTRAR"));
        EXPECT_TRUE(button->isEnabled());
        EXPECT_TRUE(email->isEnabled());
        EXPECT_TRUE(password->isEnabled());
        EXPECT_TRUE(h.find<QCheckBox>("CheckBoxAutoConect")->isEnabled());
    }

    QString error() const { return h.find<QLabel>("LabelErro")->text(); }

    static QStringList items(const QComboBox *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out.append(list->itemText(i));
        return out;
    }

    HttpsFake fake;
    MainWindowHarness h{courierAt(fake)};
    TMainForm &form = h.form();
    TFCadastroDelivery *dialog = &h.credentialsDialog();
    QLineEdit *email = h.find<QLineEdit>("EditEmail");
    QLineEdit *password = h.find<QLineEdit>("EditSenha");
    QPushButton *button = h.find<QPushButton>("Button4");
    QComboBox *payments = h.find<QComboBox>("ComboBoxPagamentos");
    QComboBox *categories = h.find<QComboBox>("ComboBoxCategorias");
};

} // namespace

TEST_F(SignIn, BothBoxesEmptyIsRefusedWithoutAskingThePlatform)
{
    signIn(QString(), QString());
    EXPECT_EQ(error(), QStringLiteral("Usuário e/ou senhas inválidos."));
    EXPECT_TRUE(fake.requests().isEmpty());
    expectConnectingStateLeft();
}

TEST_F(SignIn, ThePlatformsRefusalIsShownUnchanged)
{
    fake.setReply("GET", "/api/integracao/empresa",
                  FakeReply::json(R"({"errors":[{"message":"Usuário ou senha inválidos"}]})", 401));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QString()); // one box filled: the platform decides
    ASSERT_EQ(fake.requests().size(), 1);
    EXPECT_EQ(fake.lastRequest().header("api-key"), QByteArray(config::courierApiKey));
    EXPECT_EQ(fake.lastRequest().header("api-key").size(), 32);
    EXPECT_FALSE(error().isEmpty());
    EXPECT_TRUE(error().contains(QStringLiteral("inv"))) << error().toStdString();
    EXPECT_FALSE(form.vLogado());
    EXPECT_TRUE(h.find<QFrame>("PanelLogin")->isVisible());
    EXPECT_GE(h.platform.broughtToFront, 1);
    expectConnectingStateLeft();
}

TEST_F(SignIn, AnInactiveCompanyIsRefusedAndItsRowKept)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile("a")));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_EQ(error(), QStringLiteral("Empresa inativada pela Trevant"));
    EXPECT_FALSE(form.vLogado());
    EXPECT_EQ(h.db().query("SELECT * FROM EMPRESA").rowCount(), 1);
    expectConnectingStateLeft();
}

TEST_F(SignIn, SuccessShowsTheSignedInFacePurgesOldOrdersAndShowsTheSettingsWithoutSaving)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    const char *insert = "INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,DATAHORA) VALUES "
                         "(1,:ID,strftime('%Y-%m-%d %H:%M:%S','now',:AGE))";
    h.db().execute(insert, {{":ID", QStringLiteral("velho")}, {":AGE", QStringLiteral("-49 hours")}});
    h.db().execute(insert, {{":ID", QStringLiteral("novo")}, {":AGE", QStringLiteral("-47 hours")}});
    h.db().execute("INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO,CATEGORIAPADRAO,"
                   "PAGAMENTOPADRAO,RETORNOPADRAO) VALUES ('PADRAO',1,'','Carro','Dinheiro','Sim')");

    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));

    EXPECT_TRUE(form.vLogado());
    EXPECT_EQ(error(), QString());
    EXPECT_FALSE(h.find<QFrame>("PanelLogin")->isVisible());
    EXPECT_TRUE(h.find<QFrame>("PanelMenu")->isVisible());
    EXPECT_TRUE(h.find<QToolButton>("SpeedButton5")->isVisible());
    EXPECT_EQ(h.find<QLabel>("Label6PEDIDOS")->text(), QStringLiteral("PEDIDOS"));
    EXPECT_EQ(h.find<QLabel>("LabelEmpresa")->text(), QStringLiteral("Pizzaria Bella"));
    EXPECT_EQ(h.find<QLabel>("LabelCIDADE")->text(), QStringLiteral("Maringa - PR"))
        << "replies are reduced to ASCII";
    EXPECT_EQ(items(payments), QStringList{QStringLiteral("Faturado")});
    EXPECT_EQ(items(categories), (QStringList{QStringLiteral("Moto"), QStringLiteral("Carro")}));

    // The stored settings are shown; a payment the company no longer takes falls back to the first.
    EXPECT_EQ(categories->currentText(), QStringLiteral("Carro"));
    EXPECT_EQ(payments->currentText(), QStringLiteral("Faturado"));
    EXPECT_EQ(h.find<QComboBox>("ComboBoxRetorno")->currentText(), QStringLiteral("Sim"));
    EXPECT_EQ(h.find<QLineEdit>("ComboBoxAgendar")->text(), QStringLiteral("60"));
    EXPECT_TRUE(h.find<QCheckBox>("CheckBoxRebimentoAutomatico")->isChecked());
    EXPECT_EQ(h.db()
                  .query("SELECT TEMPOAGENDAMENTO, PAGAMENTOPADRAO FROM CONFIGURACAO")
                  .text(0, u"PAGAMENTOPADRAO"),
              QStringLiteral("Dinheiro"))
        << "showing the settings saves nothing";

    const ResultSet orders = h.db().query("SELECT IDPEDIDO FROM PEDIDOS");
    ASSERT_EQ(orders.rowCount(), 1);
    EXPECT_EQ(orders.text(0, u"IDPEDIDO"), QStringLiteral("novo"));
    EXPECT_FALSE(dialog->isVisible());
    expectConnectingStateLeft();
}

TEST_F(SignIn, StoredMinutesAreCorrectedForShowOnly)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    h.db().execute(
        "INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO) VALUES ('PADRAO',0,'500')");
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_EQ(h.find<QLineEdit>("ComboBoxAgendar")->text(), QStringLiteral("120"));
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxRebimentoAutomatico")->isChecked());
    EXPECT_EQ(h.db().query("SELECT TEMPOAGENDAMENTO FROM CONFIGURACAO").text(0, u"TEMPOAGENDAMENTO"),
              QStringLiteral("500"));
}

TEST_F(SignIn, WithoutMarketplaceCredentialsTheDialogOpensAndTheSignInWaitsForIt)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    h.db().execute("DELETE FROM CONFIGDELIVERY");
    QString buttonWhileOpen;
    bool wasModal = false;
    // Polls, since the platform call may take a while before the dialog comes up.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!dialog->isVisible())
            return;
        poll.stop();
        wasModal = dialog->isModal();
        buttonWhileOpen = button->text();
        dialog->close();
    });
    poll.start();
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(buttonWhileOpen, QStringLiteral("CONECTANDO"));
    EXPECT_TRUE(form.vLogado());
    EXPECT_EQ(h.db().query("SELECT * FROM CONFIGDELIVERY").rowCount(), 1) << "the dialog stored an empty row";
    expectConnectingStateLeft();
}

TEST_F(SignIn, ADatabaseErrorAfterThePlatformCallNeverLeavesTheConnectingState)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    h.db().execute("DROP TABLE CONFIGURACAO");
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    ASSERT_EQ(h.messages.shown.size(), 1);
    EXPECT_TRUE(h.messages.shown.at(0).contains(QStringLiteral("CONFIGURACAO")));
    expectConnectingStateLeft();
}

TEST_F(SignIn, EnterInTheMinutesBoxRepeatsTheSignIn)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    ASSERT_TRUE(form.vLogado());
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile("A", R"(["x","D"])")));
    QTest::keyClick(h.find<QLineEdit>("ComboBoxAgendar"), Qt::Key_Return);
    waitForAnswer();
    EXPECT_EQ(fake.requests().size(), 2);
    EXPECT_EQ(items(payments), (QStringList{QStringLiteral("Pix"), QStringLiteral("Dinheiro")}));

    // A refusal now keeps the signed-in face.
    fake.setReply("GET", "/api/integracao/empresa",
                  FakeReply::json(R"({"errors":[{"message":"bloqueado"}]})", 403));
    QTest::keyClick(password, Qt::Key_Enter);
    waitForAnswer();
    EXPECT_EQ(fake.requests().size(), 3);
    EXPECT_TRUE(form.vLogado());
    EXPECT_TRUE(h.find<QFrame>("PanelMenu")->isVisible());
}

TEST_F(SignIn, TheWindowKeepsRunningWhileThePlatformIsSlowToAnswer)
{
    FakeReply slow = FakeReply::json(profile());
    slow.behaviour = FakeReply::Behaviour::HangBeforeReply;
    fake.setReply("GET", "/api/integracao/empresa", slow);
    email->setText(QStringLiteral("dono@pizzaria.com.br"));
    password->setText(QStringLiteral("s3nh@"));
    QTest::mouseClick(button, Qt::LeftButton);

    // The UI thread's timers tick while the request waits for its answer.
    int ticks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&ticks] { ++ticks; });
    probe.start(5);
    ASSERT_TRUE(waitFor([&] { return fake.requests().size() == 1 && ticks >= 10; }));
    EXPECT_EQ(button->text(), QStringLiteral("CONECTANDO"));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(email->isEnabled());
    EXPECT_FALSE(form.vLogado());
    // A second "ENTRAR" meanwhile (Enter in the minutes box, which stays enabled) asks nothing more.
    QTest::keyClick(h.find<QLineEdit>("ComboBoxAgendar"), Qt::Key_Return);

    fake.release();
    waitForAnswer();
    EXPECT_EQ(fake.requests().size(), 1);
    EXPECT_TRUE(form.vLogado());
    expectConnectingStateLeft();
}
