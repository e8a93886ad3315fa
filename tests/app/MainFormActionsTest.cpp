// Settings, sign-out, closing and the timed question of the main window.
#include "app/MinutesRule.h"
#include "app/TMainForm.h"
#include "support/MainWindowHarness.h"
#include "ui/MessageBoxes.h"

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
    {
        categories->addItems({QStringLiteral("Moto"), QStringLiteral("Carro")});
        h.find<QComboBox>("ComboBoxPagamentos")
            ->addItems({QStringLiteral("Faturado"), QStringLiteral("Pix")});
        h.form().show();
    }

    QStringList storedSettings()
    {
        const ResultSet rows = h.db().query("SELECT * FROM CONFIGURACAO");
        QStringList out;
        for (int i = 0; i < rows.rowCount(); ++i) {
            out.append(rows.text(i, u"NOME") + u'|' + rows.text(i, u"SOLICITACAOAUTOMATICO") + u'|' +
                       rows.text(i, u"TEMPOAGENDAMENTO") + u'|' + rows.text(i, u"CATEGORIAPADRAO") + u'|' +
                       rows.text(i, u"PAGAMENTOPADRAO") + u'|' + rows.text(i, u"RETORNOPADRAO"));
        }
        return out;
    }

    // The whole text at once, as typed over a selection or pasted.
    void type(const QString &text) { minutes->setText(text); }

    MainWindowHarness h;
    QLineEdit *minutes = h.find<QLineEdit>("ComboBoxAgendar");
    QComboBox *categories = h.find<QComboBox>("ComboBoxCategorias");
    QCheckBox *automatic = h.find<QCheckBox>("CheckBoxRebimentoAutomatico");
};

} // namespace

TEST(MinutesRule, KeepsTheBoxBetweenOneAndOneHundredTwentyMinutes)
{
    using Outcome = MinutesCheck::Outcome;
    struct Case
    {
        const char *text;
        Outcome outcome;
        const char *result; // the corrected text, or the message
    };
    const Case cases[] = {
        {"", Outcome::Empty, ""},
        {"1", Outcome::InRange, ""},
        {"120", Outcome::InRange, ""},
        {"007", Outcome::InRange, ""},
        {"121", Outcome::Corrected, "120"},
        {"150", Outcome::Corrected, "120"},
        {"0", Outcome::Corrected, "5"},
        {"-3", Outcome::Corrected, "5"},
        {"99999999999", Outcome::NotWhole, "'99999999999' não é um valor inteiro válido"},
        {"12a", Outcome::NotWhole, "'12a' não é um valor inteiro válido"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const MinutesCheck check = checkMinutes(QString::fromUtf8(c.text));
        EXPECT_EQ(check.outcome, c.outcome);
        EXPECT_EQ(check.text, QString::fromUtf8(c.result));
    }
}

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
        EXPECT_EQ(minutes->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(storedSettings(),
                  QStringList{QStringLiteral("PADRAO|0|%1|Moto|Faturado|Não").arg(QLatin1String(c.shown))});
    }
    EXPECT_TRUE(h.messages.shown.isEmpty());

    // Emptying the box saves nothing; the next change elsewhere stores the empty text.
    minutes->clear();
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|45|Moto|Faturado|Não")});
    QComboBox *returnList = h.find<QComboBox>("ComboBoxRetorno");
    returnList->setCurrentIndex(1);
    emit returnList->activated(1);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0||Moto|Faturado|Sim")});
}

TEST_F(MainFormActions, TheMinutesBoxTakesDigitsOnly)
{
    minutes->clear();
    minutes->setFocus();
    QTest::keyClicks(minutes, QStringLiteral("1a-2 ,+"));
    minutes->insert(QStringLiteral("\uFF13")); // a full-width digit
    EXPECT_EQ(minutes->text(), QStringLiteral("12"));
}

TEST_F(MainFormActions, AMinutesTextThatIsNoWholeNumberIsReportedAndNotSaved)
{
    type(QStringLiteral("30"));
    minutes->setText(QStringLiteral("99999999999")); // as pasted
    ASSERT_EQ(h.messages.shown.size(), 1);
    EXPECT_TRUE(h.messages.shown.at(0).contains(QStringLiteral("99999999999")));
    EXPECT_EQ(minutes->text(), QStringLiteral("99999999999"));
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|30|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, TheSwitchRefreshesTheBoardAtOnceAndStoresItsState)
{
    QTimer *refresh = h.find<QTimer>("TimerPedidos");
    refresh->stop();
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_TRUE(refresh->isActive());
    EXPECT_EQ(refresh->interval(), 1);
    EXPECT_EQ(h.find<QFrame>("PanelMenu")->height(), 80);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|1|120|Moto|Faturado|Não")});
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|120|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, AFailedSaveKeepsThePreviousRow)
{
    type(QStringLiteral("30"));
    h.db().execute("CREATE TRIGGER RECUSA BEFORE INSERT ON CONFIGURACAO WHEN NEW.CATEGORIAPADRAO = 'Carro' "
                   "BEGIN SELECT RAISE(ABORT, 'gravação recusada'); END");
    categories->setCurrentIndex(1);
    emit categories->activated(1);
    ASSERT_EQ(h.messages.shown.size(), 1);
    EXPECT_TRUE(h.messages.shown.at(0).contains(QStringLiteral("gravação recusada")));
    EXPECT_EQ(storedSettings(), QStringList{QStringLiteral("PADRAO|0|30|Moto|Faturado|Não")});
}

TEST_F(MainFormActions, SignOutOnlyAfterYesKeepsTheEmailAndForgetsTheStoredSignIn)
{
    h.db().execute("INSERT INTO EMPRESA (NOME,AUTOCONNECT,EMAIL,SENHA) VALUES ('Pizzaria','S','a@b.c','x')");
    h.signInFace();
    QLineEdit *email = h.find<QLineEdit>("EditEmail");
    QLineEdit *password = h.find<QLineEdit>("EditSenha");
    QToolButton *signOut = h.find<QToolButton>("SpeedButton5");
    email->setText(QStringLiteral("a@b.c"));
    password->setText(QStringLiteral("x"));

    h.messages.answer = false;
    QTest::mouseClick(signOut, Qt::LeftButton);
    EXPECT_EQ(h.messages.asked, QStringList{QStringLiteral("Deseja sair da conta? ")});
    EXPECT_TRUE(h.form().vLogado());
    EXPECT_EQ(h.db().query("SELECT * FROM EMPRESA").rowCount(), 1);

    h.messages.answer = true;
    QTest::mouseClick(signOut, Qt::LeftButton);
    EXPECT_FALSE(h.form().vLogado());
    EXPECT_TRUE(h.find<QFrame>("PanelLogin")->isVisible());
    EXPECT_FALSE(h.find<QFrame>("PanelPedidos")->isVisible());
    EXPECT_EQ(email->text(), QStringLiteral("a@b.c"));
    EXPECT_EQ(password->text(), QString());
    EXPECT_EQ(h.form().focusWidget(), email);
    EXPECT_TRUE(h.db().query("SELECT * FROM EMPRESA").isEmpty());
}

TEST_F(MainFormActions, TheWindowClosesOnlyAfterYes)
{
    h.messages.answer = false;
    EXPECT_FALSE(h.form().close());
    EXPECT_TRUE(h.form().isVisible());
    EXPECT_EQ(h.messages.asked, QStringList{QStringLiteral(
                                    "A integração irá para de funcionar! Deseja encerrar a aplicação? ")});
    h.messages.answer = true;
    EXPECT_TRUE(h.form().close());
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
