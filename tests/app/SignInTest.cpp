// The "ENTRAR" action end to end, against a courier platform fake on loopback HTTPS.
#include "app/TMainForm.h"
#include "common/HttpClient.h"
#include "marketplace/TFCadastroDelivery.h"
#include "support/FakePlatform.h"
#include "support/HttpsFake.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

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

class SignIn : public ::testing::Test
{
protected:
    SignIn()
        : form(platform, messages, ProgramFolder(t.folder()))
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        form.courierSettings.baseUrl = fake.baseUrl();
        dialog = new TFCadastroDelivery(form);
        form.setDialogs(nullptr, dialog);
        form.show();
        // A stored marketplace row, so the credentials dialog stays closed unless a test removes it.
        t.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN,SENHA) VALUES ('loja','x')");
    }

    void signIn(const QString &email, const QString &password)
    {
        form.EditEmail->setText(email);
        form.EditSenha->setText(password);
        QTest::mouseClick(form.Button4, Qt::LeftButton);
    }

    void expectConnectingStateLeft()
    {
        EXPECT_EQ(form.Button4->text(), QStringLiteral("ENTRAR"));
        EXPECT_TRUE(form.Button4->isEnabled());
        EXPECT_TRUE(form.EditEmail->isEnabled());
        EXPECT_TRUE(form.EditSenha->isEnabled());
        EXPECT_TRUE(form.CheckBoxAutoConect->isEnabled());
    }

    static QStringList items(const QComboBox *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out.append(list->itemText(i));
        return out;
    }

    HttpsFake fake;
    TestDatabase t;
    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
    TFCadastroDelivery *dialog = nullptr;
};

} // namespace

TEST_F(SignIn, BothBoxesEmptyIsRefusedWithoutAskingThePlatform)
{
    signIn(QString(), QString());
    EXPECT_EQ(form.LabelErro->text(), QStringLiteral("Usuário e/ou senhas inválidos."));
    EXPECT_TRUE(fake.requests().isEmpty());
    expectConnectingStateLeft();
}

TEST_F(SignIn, ThePlatformsRefusalIsShownUnchanged)
{
    fake.setReply("GET", "/api/integracao/empresa",
                  FakeReply::json(R"({"errors":[{"message":"Usuário ou senha inválidos"}]})", 401));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QString()); // one box filled: the platform decides
    ASSERT_EQ(fake.requests().size(), 1);
    EXPECT_FALSE(form.LabelErro->text().isEmpty());
    EXPECT_TRUE(form.LabelErro->text().contains(QStringLiteral("inv")))
        << form.LabelErro->text().toStdString();
    EXPECT_FALSE(form.vLogado);
    EXPECT_TRUE(form.PanelLogin->isVisible());
    EXPECT_GE(platform.broughtToFront, 1);
    expectConnectingStateLeft();
}

TEST_F(SignIn, AnInactiveCompanyIsRefusedAndItsRowKept)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile("a")));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_EQ(form.LabelErro->text(), QStringLiteral("Empresa inativada pela Trevant"));
    EXPECT_FALSE(form.vLogado);
    EXPECT_EQ(t.db().query("SELECT * FROM EMPRESA").rowCount(), 1);
    expectConnectingStateLeft();
}

TEST_F(SignIn, SuccessShowsTheSignedInFacePurgesOldOrdersAndShowsTheSettingsWithoutSaving)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    const char *insert = "INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,DATAHORA) VALUES "
                         "(1,:ID,strftime('%Y-%m-%d %H:%M:%S','now',:AGE))";
    t.db().execute(insert, {{":ID", QStringLiteral("velho")}, {":AGE", QStringLiteral("-49 hours")}});
    t.db().execute(insert, {{":ID", QStringLiteral("novo")}, {":AGE", QStringLiteral("-47 hours")}});
    t.db().execute("INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO,CATEGORIAPADRAO,"
                   "PAGAMENTOPADRAO,RETORNOPADRAO) VALUES ('PADRAO',1,'','Carro','Dinheiro','Sim')");

    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));

    EXPECT_TRUE(form.vLogado);
    EXPECT_EQ(form.LabelErro->text(), QString());
    EXPECT_FALSE(form.PanelLogin->isVisible());
    EXPECT_TRUE(form.PanelMenu->isVisible());
    EXPECT_TRUE(form.SpeedButton5->isVisible());
    EXPECT_EQ(form.Label6PEDIDOS->text(), QStringLiteral("PEDIDOS"));
    EXPECT_EQ(form.LabelEmpresa->text(), QStringLiteral("Pizzaria Bella"));
    EXPECT_EQ(form.LabelCIDADE->text(), QStringLiteral("Maringa - PR")) << "replies are reduced to ASCII";
    EXPECT_EQ(items(form.ComboBoxPagamentos), QStringList{QStringLiteral("Faturado")});
    EXPECT_EQ(items(form.ComboBoxCategorias), (QStringList{QStringLiteral("Moto"), QStringLiteral("Carro")}));

    // The stored settings are shown; a payment the company no longer takes falls back to the first.
    EXPECT_EQ(form.ComboBoxCategorias->currentText(), QStringLiteral("Carro"));
    EXPECT_EQ(form.ComboBoxPagamentos->currentText(), QStringLiteral("Faturado"));
    EXPECT_EQ(form.ComboBoxRetorno->currentText(), QStringLiteral("Sim"));
    EXPECT_EQ(form.ComboBoxAgendar->text(), QStringLiteral("60"));
    EXPECT_TRUE(form.CheckBoxRebimentoAutomatico->isChecked());
    EXPECT_EQ(t.db()
                  .query("SELECT TEMPOAGENDAMENTO, PAGAMENTOPADRAO FROM CONFIGURACAO")
                  .text(0, u"PAGAMENTOPADRAO"),
              QStringLiteral("Dinheiro"))
        << "showing the settings saves nothing";

    const ResultSet orders = t.db().query("SELECT IDPEDIDO FROM PEDIDOS");
    ASSERT_EQ(orders.rowCount(), 1);
    EXPECT_EQ(orders.text(0, u"IDPEDIDO"), QStringLiteral("novo"));
    EXPECT_FALSE(dialog->isVisible());
    expectConnectingStateLeft();
}

TEST_F(SignIn, StoredMinutesAreCorrectedForShowOnly)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    t.db().execute(
        "INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO) VALUES ('PADRAO',0,'500')");
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_EQ(form.ComboBoxAgendar->text(), QStringLiteral("120"));
    EXPECT_FALSE(form.CheckBoxRebimentoAutomatico->isChecked());
    EXPECT_EQ(t.db().query("SELECT TEMPOAGENDAMENTO FROM CONFIGURACAO").text(0, u"TEMPOAGENDAMENTO"),
              QStringLiteral("500"));
}

TEST_F(SignIn, WithoutMarketplaceCredentialsTheDialogOpensAndTheSignInWaitsForIt)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    t.db().execute("DELETE FROM CONFIGDELIVERY");
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
        buttonWhileOpen = form.Button4->text();
        dialog->close();
    });
    poll.start();
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(buttonWhileOpen, QStringLiteral("CONECTANDO"));
    EXPECT_TRUE(form.vLogado);
    EXPECT_EQ(t.db().query("SELECT * FROM CONFIGDELIVERY").rowCount(), 1) << "the dialog stored an empty row";
    expectConnectingStateLeft();
}

TEST_F(SignIn, ADatabaseErrorAfterThePlatformCallNeverLeavesTheConnectingState)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    t.db().execute("DROP TABLE CONFIGURACAO");
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.at(0).contains(QStringLiteral("CONFIGURACAO")));
    expectConnectingStateLeft();
}

TEST_F(SignIn, EnterInTheMinutesBoxRepeatsTheSignIn)
{
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile()));
    signIn(QStringLiteral("dono@pizzaria.com.br"), QStringLiteral("s3nh@"));
    ASSERT_TRUE(form.vLogado);
    fake.setReply("GET", "/api/integracao/empresa", FakeReply::json(profile("A", R"(["x","D"])")));
    QTest::keyClick(form.ComboBoxAgendar, Qt::Key_Return);
    EXPECT_EQ(fake.requests().size(), 2);
    EXPECT_EQ(items(form.ComboBoxPagamentos),
              (QStringList{QStringLiteral("Pix"), QStringLiteral("Dinheiro")}));

    // A refusal now keeps the signed-in face.
    fake.setReply("GET", "/api/integracao/empresa",
                  FakeReply::json(R"({"errors":[{"message":"bloqueado"}]})", 403));
    QTest::keyClick(form.EditSenha, Qt::Key_Enter);
    EXPECT_EQ(fake.requests().size(), 3);
    EXPECT_TRUE(form.vLogado);
    EXPECT_TRUE(form.PanelMenu->isVisible());
}
