#include "marketplace/TFCadastroDelivery.h"

#include "app/TMainForm.h"
#include "support/FakePlatform.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class CredentialsDialog : public ::testing::Test
{
protected:
    CredentialsDialog()
        : form(platform, messages, ProgramFolder(t.folder()))
        , dialog(new TFCadastroDelivery(form))
    {
        form.setDialogs(nullptr, dialog);
        form.TimerDelivery->stop();
    }

    QString rows()
    {
        const ResultSet r = t.db().query("SELECT * FROM CONFIGDELIVERY ORDER BY ID");
        QStringList out;
        for (int i = 0; i < r.rowCount(); ++i)
            out.append(r.text(i, u"IDORIGEM") + u'|' + r.text(i, u"ORIGEM") + u'|' + r.text(i, u"LOGIN") +
                       u'|' + r.text(i, u"SENHA") + u'|' + r.text(i, u"TOKEN"));
        return out.join(u';');
    }

    TestDatabase t;
    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
    TFCadastroDelivery *dialog;
};

} // namespace

TEST_F(CredentialsDialog, FirstShowingStoresAnEmptyRowAndTheCloseBoxSavesNothing)
{
    dialog->EditLogin->setText(QStringLiteral("digitado"));
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Cadastro"));
    EXPECT_EQ(rows(), QStringLiteral("||||"));
    EXPECT_EQ(dialog->EditLogin->text(), QStringLiteral("digitado")) << "the boxes keep what they held";
    dialog->close();
    EXPECT_EQ(rows(), QStringLiteral("||||"));
    EXPECT_FALSE(form.TimerDelivery->isActive());
}

TEST_F(CredentialsDialog, SavingStoresTheFirstRowAndAsksForAnImmediateCheck)
{
    t.db().execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA,TOKEN) VALUES "
                   "(1,'AIQFOME','velho','v','tok')");
    t.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN) VALUES ('segunda')");
    form.SpeedButton2Click();
    EXPECT_EQ(dialog->EditLogin->text(), QStringLiteral("velho"));
    EXPECT_EQ(dialog->EditSenha->text(), QStringLiteral("v"));
    EXPECT_EQ(dialog->EditSenha->echoMode(), QLineEdit::Normal);
    dialog->EditLogin->setText(QStringLiteral("restaurante"));
    dialog->EditSenha->clear();
    QTest::mouseClick(dialog->Button4, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(rows(), QStringLiteral("1|AIQFOME|restaurante||tok;||segunda||"));
    EXPECT_TRUE(form.TimerDelivery->isActive());
    EXPECT_EQ(form.TimerDelivery->interval(), 1);
}

TEST_F(CredentialsDialog, TheNoticeLineFollowsTheOpener)
{
    form.TimerCadastroEntrega->start();
    form.TimerCadastroEntregaTimer();
    EXPECT_FALSE(form.TimerCadastroEntrega->isActive());
    EXPECT_EQ(dialog->Label3->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_EQ(platform.broughtToFront, 1);

    // Shown again while open: only to the front, typed text kept.
    dialog->EditLogin->setText(QStringLiteral("meio digitado"));
    form.SpeedButton2Click();
    EXPECT_EQ(dialog->Label3->text(), QString());
    EXPECT_EQ(dialog->EditLogin->text(), QStringLiteral("meio digitado"));
}

TEST_F(CredentialsDialog, TheModalOpeningReturnsOnlyWhenClosed)
{
    bool wasModal = false;
    QTimer::singleShot(50, [&] {
        wasModal = dialog->isModal() && dialog->isVisible();
        dialog->EditLogin->setText(QStringLiteral("modal"));
        dialog->Button4Click();
    });
    dialog->showModal();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(rows(), QStringLiteral("1|AIQFOME|modal||"));
}

TEST_F(CredentialsDialog, HasACloseBoxOnlyAFixedSizeAndOpensInTheMiddleOfTheScreen)
{
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());

    // Over a main window in the corner, and again after being moved away.
    form.move(0, 0);
    for (int opening = 0; opening < 2; ++opening) {
        QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
        ASSERT_TRUE(dialog->isVisible());
        const QPoint offCentre =
            dialog->frameGeometry().center() - dialog->screen()->availableGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2) << "opening " << opening;
        dialog->close();
        dialog->move(5, 5);
    }
}
