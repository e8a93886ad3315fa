#include "marketplace/TFCadastroDelivery.h"

#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"
#include "ui/ImageCollection.h"
#include "ui/PictureView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

class CredentialsDialog : public ::testing::Test
{
protected:
    QString rows()
    {
        const ResultSet r = t.db().query("SELECT * FROM CONFIGDELIVERY ORDER BY ID");
        QStringList out;
        for (int i = 0; i < r.rowCount(); ++i)
            out.append(r.text(i, u"IDORIGEM") + u'|' + r.text(i, u"ORIGEM") + u'|' + r.text(i, u"LOGIN") +
                       u'|' + r.text(i, u"SENHA") + u'|' + r.text(i, u"TOKEN"));
        return out.join(u';');
    }

    template <typename T> T *find(const char *name)
    {
        T *found = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    TestDatabase t;
    RecordingMessageBoxes messages;
    ImageCollection images;
    TFCadastroDelivery dialog{MarketplaceCredentialsStore(t.db()), messages, images};
    QSignalSpy saved{&dialog, &TFCadastroDelivery::credentialsSaved};
    QLabel *notice = find<QLabel>("Label3");
    QLineEdit *login = find<QLineEdit>("EditLogin");
    QLineEdit *password = find<QLineEdit>("EditSenha");
};

} // namespace

TEST_F(CredentialsDialog, FirstShowingStoresAnEmptyRowAndTheCloseBoxSavesNothing)
{
    login->setText(QStringLiteral("digitado"));
    dialog.showNotice(QString());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Cadastro"));
    EXPECT_EQ(find<PictureView>("VirtualImage1")->position(), 7) << "the marketplace's logo";
    EXPECT_EQ(rows(), QStringLiteral("||||"));
    EXPECT_EQ(login->text(), QStringLiteral("digitado")) << "the boxes keep what they held";
    dialog.close();
    EXPECT_EQ(rows(), QStringLiteral("||||"));
    EXPECT_EQ(saved.count(), 0);
}

TEST_F(CredentialsDialog, SavingStoresTheFirstRowAndAsksForAnImmediateCheck)
{
    t.db().execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA,TOKEN) VALUES "
                   "(1,'AIQFOME','velho','v','tok')");
    t.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN) VALUES ('segunda')");
    dialog.showNotice(QString());
    EXPECT_EQ(login->text(), QStringLiteral("velho"));
    EXPECT_EQ(password->text(), QStringLiteral("v"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    login->setText(QStringLiteral("restaurante"));
    password->clear();
    QTest::mouseClick(find<QPushButton>("Button4"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(rows(), QStringLiteral("1|AIQFOME|restaurante||tok;||segunda||"));
    EXPECT_EQ(saved.count(), 1);
}

TEST_F(CredentialsDialog, ARowGoneSinceTheShowingIsStoredAnew)
{
    dialog.showNotice(QString());
    t.db().execute("DELETE FROM CONFIGDELIVERY");
    login->setText(QStringLiteral("loja"));
    dialog.Button4Click();
    EXPECT_EQ(rows(), QStringLiteral("1|AIQFOME|loja||"));
    EXPECT_EQ(saved.count(), 1);
}

TEST_F(CredentialsDialog, ADatabaseErrorIsReportedAndTheDialogStaysOpen)
{
    dialog.showNotice(QString());
    t.db().execute("CREATE TRIGGER recusa BEFORE UPDATE ON CONFIGDELIVERY BEGIN "
                   "SELECT RAISE(ABORT, 'disco cheio'); END");
    dialog.Button4Click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("disco cheio")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(saved.count(), 0) << "the polling cycle is not touched";
}

TEST_F(CredentialsDialog, TheNoticeLineFollowsTheOpener)
{
    dialog.showNotice(QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
    EXPECT_EQ(notice->text(), QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));

    // Shown again while open: only to the front, typed text kept.
    login->setText(QStringLiteral("meio digitado"));
    dialog.showNotice(QString());
    EXPECT_EQ(notice->text(), QString());
    EXPECT_EQ(login->text(), QStringLiteral("meio digitado"));
}

TEST_F(CredentialsDialog, TheModalOpeningReturnsOnlyWhenClosed)
{
    bool wasModal = false;
    QTimer::singleShot(50, [&] {
        wasModal = dialog.isModal() && dialog.isVisible();
        login->setText(QStringLiteral("modal"));
        dialog.Button4Click();
    });
    dialog.showModal();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(rows(), QStringLiteral("1|AIQFOME|modal||"));
}

TEST_F(CredentialsDialog, HasACloseBoxOnlyAFixedSizeAndOpensInTheMiddleOfTheScreen)
{
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    // Over a parent window in the corner, and again after being moved away.
    QWidget parent;
    parent.move(0, 0);
    parent.show();
    dialog.setParent(&parent, dialog.windowFlags());
    for (int opening = 0; opening < 2; ++opening) {
        dialog.showNotice(QString());
        ASSERT_TRUE(dialog.isVisible());
        const QPoint offCentre =
            dialog.frameGeometry().center() - dialog.screen()->availableGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2) << "opening " << opening;
        dialog.close();
        dialog.move(5, 5);
    }
    dialog.setParent(nullptr, dialog.windowFlags());
}
