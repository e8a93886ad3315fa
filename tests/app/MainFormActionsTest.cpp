// Settings, sign-out, closing and the timed question of the main window.
#include "ui/MessageBoxes.h"
#include "app/TMainForm.h"
#include "support/FakePlatform.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class MainFormActions : public ::testing::Test
{
protected:
    MainFormActions()
        : form(platform, messages, ProgramFolder(t.folder()))
    {
        form.ComboBoxCategorias->addItems({QStringLiteral("Moto"), QStringLiteral("Carro")});
        form.ComboBoxPagamentos->addItems({QStringLiteral("Faturado"), QStringLiteral("Pix")});
        form.show();
    }

    QStringList storedSettings()
    {
        const ResultSet rows = t.db().query("SELECT * FROM CONFIGURACAO");
        QStringList out;
        for (int i = 0; i < rows.rowCount(); ++i) {
            out.append(rows.text(i, u"NOME") + u'|' + rows.text(i, u"SOLICITACAOAUTOMATICO") + u'|' +
                       rows.text(i, u"TEMPOAGENDAMENTO") + u'|' + rows.text(i, u"CATEGORIAPADRAO") + u'|' +
                       rows.text(i, u"PAGAMENTOPADRAO") + u'|' + rows.text(i, u"RETORNOPADRAO"));
        }
        return out;
    }

    // The whole text at once, as typed over a selection or pasted.
    void type(const QString &text) { form.ComboBoxAgendar->setText(text); }

    TestDatabase t;
    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
};

} // namespace

TEST_F(MainFormActions, TheMinutesBoxKeepsItsRangeAndStoresTheWholeRow)
{
    struct Case
    {
        const char *typed;
        const char *shown;
    };
    for (const Case c : {Case{"150", "120"}, Case{"0", "5"}, Case{"007", "007"}, Case{"45", "45"}}) {
        SCOPED_TRACE(c.typed);
        type(QString::fromLatin1(c.typed));
        EXPECT_EQ(form.ComboBoxAgendar->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(storedSettings(),
                  QStringList{QStringLiteral("PADRAO|0|%1|Moto|Faturado|Não").arg(QLatin1String(c.shown))});
    }
    EXPECT_TRUE(messages.shown.isEmpty());

    // Emptying the box saves nothing; the next change elsewhere stores the empty text.
    form.ComboBoxAgendar->clear();
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|45|Moto|Faturado|Não")});
    form.ComboBoxRetorno->setCurrentIndex(1);
    emit form.ComboBoxRetorno->activated(1);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0||Moto|Faturado|Sim")});
}

TEST_F(MainFormActions, TheMinutesBoxTakesDigitsOnly)
{
    form.ComboBoxAgendar->clear();
    form.ComboBoxAgendar->setFocus();
    QTest::keyClicks(form.ComboBoxAgendar, QStringLiteral("1a-2 ,+"));
    form.ComboBoxAgendar->insert(QStringLiteral("\uFF13")); // a full-width digit
    EXPECT_EQ(form.ComboBoxAgendar->text(), QStringLiteral("12"));
}

TEST_F(MainFormActions, AMinutesTextThatIsNoWholeNumberIsReportedAndNotSaved)
{
    type(QStringLiteral("30"));
    form.ComboBoxAgendar->setText(QStringLiteral("99999999999")); // as pasted
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.at(0).contains(QStringLiteral("99999999999")));
    EXPECT_EQ(form.ComboBoxAgendar->text(), QStringLiteral("99999999999"));
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|30|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, TheSwitchRefreshesTheBoardAtOnceAndStoresItsState)
{
    form.TimerPedidos->stop();
    QTest::mouseClick(form.CheckBoxRebimentoAutomatico, Qt::LeftButton);
    EXPECT_TRUE(form.TimerPedidos->isActive());
    EXPECT_EQ(form.TimerPedidos->interval(), 1);
    EXPECT_EQ(form.PanelMenu->height(), 80);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|1|120|Moto|Faturado|Não")});
    QTest::mouseClick(form.CheckBoxRebimentoAutomatico, Qt::LeftButton);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|120|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, AFailedSaveKeepsThePreviousRow)
{
    type(QStringLiteral("30"));
    t.db().execute("CREATE TRIGGER RECUSA BEFORE INSERT ON CONFIGURACAO WHEN NEW.CATEGORIAPADRAO = 'Carro' "
                   "BEGIN SELECT RAISE(ABORT, 'gravação recusada'); END");
    form.ComboBoxCategorias->setCurrentIndex(1);
    emit form.ComboBoxCategorias->activated(1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.at(0).contains(QStringLiteral("gravação recusada")));
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|30|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, SignOutOnlyAfterYesKeepsTheEmailAndForgetsTheStoredSignIn)
{
    t.db().execute("INSERT INTO EMPRESA (NOME,AUTOCONNECT,EMAIL,SENHA) VALUES ('Pizzaria','S','a@b.c','x')");
    form.vLogado = true;
    form.Logado(true);
    form.EditEmail->setText(QStringLiteral("a@b.c"));
    form.EditSenha->setText(QStringLiteral("x"));

    messages.answer = false;
    QTest::mouseClick(form.SpeedButton5, Qt::LeftButton);
    EXPECT_EQ(messages.asked, QStringList{QStringLiteral("Deseja sair da conta? ")});
    EXPECT_TRUE(form.vLogado);
    EXPECT_EQ(t.db().query("SELECT * FROM EMPRESA").rowCount(), 1);

    messages.answer = true;
    QTest::mouseClick(form.SpeedButton5, Qt::LeftButton);
    EXPECT_FALSE(form.vLogado);
    EXPECT_TRUE(form.PanelLogin->isVisible());
    EXPECT_FALSE(form.PanelPedidos->isVisible());
    EXPECT_EQ(form.EditEmail->text(), QStringLiteral("a@b.c"));
    EXPECT_EQ(form.EditSenha->text(), QString());
    EXPECT_EQ(form.focusWidget(), form.EditEmail);
    EXPECT_TRUE(t.db().query("SELECT * FROM EMPRESA").isEmpty());
}

TEST_F(MainFormActions, TheWindowClosesOnlyAfterYes)
{
    messages.answer = false;
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(messages.asked, QStringList{QStringLiteral(
                                  "A integração irá para de funcionar! Deseja encerrar a aplicação? ")});
    messages.answer = true;
    EXPECT_TRUE(form.close());
}

TEST(TimedQuestion, CountsAsNoWhenNobodyAnswersAndYesWhenClicked)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(askWithTimeout(nullptr, QStringLiteral("Deseja sair da conta? "), 300));
    EXPECT_LT(clock.elapsed(), 4000);

    QTimer::singleShot(50, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Deseja sair da conta? "));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Brisfold"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(askWithTimeout(nullptr, QStringLiteral("Deseja sair da conta? "), 60000));
}
