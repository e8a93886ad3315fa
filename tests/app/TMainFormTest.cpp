#include "app/TMainForm.h"

#include "BuildConfig.h"
#include "support/MainWindowHarness.h"
#include "ui/PictureView.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

void storeCompany(Database &db, const char *autoconnect)
{
    db.execute("INSERT INTO EMPRESA (NOME,STATUS,AUTOCONNECT,EMAIL,SENHA) VALUES ('Pizzaria',"
               "'A',:AUTOCONNECT,'dono@pizzaria.com.br','s3nh@')",
               {{":AUTOCONNECT", QString::fromLatin1(autoconnect)}});
}

} // namespace

TEST(TMainForm, IsCreatedSignedOutWithItsTimersTitleAndAutostart)
{
    MainWindowHarness h;
    TMainForm &form = h.form();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Trevant - v5.6.0"));
    EXPECT_TRUE(h.messages.shown.isEmpty());
    EXPECT_TRUE(h.databaseOpen());
    EXPECT_FALSE(form.vLogado());
    EXPECT_EQ(h.find<PictureView>("VirtualImage1")->position(), 19);
    EXPECT_EQ(h.platform.autostartFolders, QStringList{QDir(h.folder()).absolutePath()});

    struct TimerCase
    {
        const char *name;
        int interval;
        bool active;
    };
    const TimerCase timers[] = {{"TimerLogin", 1, true},
                                {"TimerLoginAutomatico", 500, false},
                                {"TimerPedidos", 500, true},
                                {"TimerDelivery", 1000, true},
                                {"TimerCountDelivery", 1000, false},
                                {"TimerCadastroEntrega", 500, false},
                                {"TimerVersao", 1000, true}};
    for (const TimerCase &c : timers) {
        SCOPED_TRACE(c.name);
        const QTimer *timer = h.find<QTimer>(c.name);
        EXPECT_EQ(timer->interval(), c.interval);
        EXPECT_EQ(timer->isActive(), c.active);
    }

    form.show();
    EXPECT_TRUE(h.find<QFrame>("PanelLogin")->isVisible());
    EXPECT_EQ(h.find<QFrame>("PanelLogin")->height(), 450);
    EXPECT_FALSE(h.find<QFrame>("PanelMenu")->isVisible());
    EXPECT_FALSE(h.find<QFrame>("PanelPedidos")->isVisible());
    EXPECT_FALSE(h.find<QToolButton>("SpeedButton5")->isVisible());
    EXPECT_EQ(h.find<QPushButton>("Button4")->text(), QStringLiteral("ENTRAR"));
    EXPECT_EQ(h.find<QLineEdit>("EditSenha")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(h.find<QLabel>("Label6PEDIDOS")->text(), QStringLiteral("CALCULANDO PEDIDOS"));
}

TEST(TMainForm, HasAFixedFrameWithoutMaximiseCentredOnTheScreen)
{
    MainWindowHarness h;
    TMainForm &form = h.form();

    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)); // or the toolkit adds its default buttons
    EXPECT_EQ(form.minimumSize(), QSize(886, 565));
    EXPECT_EQ(form.maximumSize(), QSize(886, 565));

    form.show();
    EXPECT_EQ(form.size(), QSize(886, 565));
    // The client area is centred before the frame is known; the frame may shift it a little.
    const QPoint offCentre = form.geometry().center() - form.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 8);
    form.resize(500, 300);
    EXPECT_EQ(form.size(), QSize(886, 565));
    form.resize(1200, 900);
    EXPECT_EQ(form.size(), QSize(886, 565));

    EXPECT_EQ(h.find<QLabel>("StatusPanel0")->width(), 200);
    EXPECT_EQ(h.find<QLabel>("StatusPanel1")->width(), 500);
}

TEST(TMainForm, TheFaceFollowsTheSignInFlagAtEveryTickOfTimerLogin)
{
    MainWindowHarness h;
    TMainForm &form = h.form();
    form.show();
    const QTimer *timerLogin = h.find<QTimer>("TimerLogin");
    const QFrame *login = h.find<QFrame>("PanelLogin");

    form.setVLogado(true);
    form.TimerLoginTimer();
    EXPECT_EQ(timerLogin->interval(), 5000);
    EXPECT_TRUE(timerLogin->isActive());
    EXPECT_FALSE(login->isVisible());
    EXPECT_EQ(login->height(), 1);
    EXPECT_TRUE(h.find<QFrame>("PanelMenu")->isVisible());
    EXPECT_TRUE(h.find<QFrame>("PanelPedidos")->isVisible());
    EXPECT_TRUE(h.find<QToolButton>("SpeedButton5")->isVisible());

    form.setVLogado(false);
    form.TimerLoginTimer();
    EXPECT_TRUE(login->isVisible());
    EXPECT_FALSE(h.find<QFrame>("PanelPedidos")->isVisible());
}

TEST(TMainForm, FirstShowingFillsTheStoredSignInOnlyWhenAutoconnectIsS)
{
    struct Case
    {
        const char *autoconnect; // nullptr: no row at all
        bool stored;
    };
    for (const Case c : {Case{"S", true}, Case{"N", false}, Case{"s", false}, Case{nullptr, false}}) {
        SCOPED_TRACE(c.autoconnect ? c.autoconnect : "no row");
        MainWindowHarness h;
        if (c.autoconnect)
            storeCompany(h.db(), c.autoconnect);
        QCheckBox *autoConnect = h.find<QCheckBox>("CheckBoxAutoConect");
        const QLineEdit *email = h.find<QLineEdit>("EditEmail");
        autoConnect->setChecked(false);
        h.form().show();

        EXPECT_TRUE(autoConnect->isChecked());
        EXPECT_EQ(h.find<QTimer>("TimerLoginAutomatico")->isActive(), c.stored);
        EXPECT_EQ(email->text(), c.stored ? QStringLiteral("dono@pizzaria.com.br") : QString());
        EXPECT_EQ(h.find<QLineEdit>("EditSenha")->text(), c.stored ? QStringLiteral("s3nh@") : QString());
        if (!c.stored) {
            EXPECT_EQ(h.form().focusWidget(), email);
        }
        EXPECT_TRUE(h.messages.shown.isEmpty());
    }
}

TEST(TMainForm, ADatabaseThatCannotBeOpenedIsReportedAndTheWindowStillShows)
{
    MainWindowHarness::Options options;
    options.withoutDatabase = true; // no BD folder at all
    MainWindowHarness h(options);
    TMainForm &form = h.form();

    ASSERT_EQ(h.messages.shown.size(), 1);
    const QString first = h.messages.shown.at(0);
    EXPECT_TRUE(first.startsWith(QStringLiteral("Erro: Avise o Suporte")));
    EXPECT_GT(first.size(), QStringLiteral("Erro: Avise o Suporte").size())
        << "the engine's text follows directly";
    EXPECT_EQ(h.platform.startedScripts, QStringList{QDir(h.folder()).filePath(QStringLiteral("fechar.sh"))});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Trevant - v5.6.0"));

    form.show();
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(h.messages.shown.size(), 2) << "the renewed attempt fails too";
    EXPECT_EQ(QStringLiteral("Erro: Avise o Suporte") + h.messages.shown.at(1), first);
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxAutoConect")->isChecked())
        << "the rest of the first showing is skipped";
    EXPECT_TRUE(h.find<QFrame>("PanelLogin")->isVisible());
    EXPECT_EQ(h.platform.startedScripts.size(), 1);
}

TEST(TMainForm, ADatabaseThatCanBeOpenedAtTheFirstShowingIsUsedFromThen)
{
    MainWindowHarness::Options options;
    options.withoutDatabase = true;
    MainWindowHarness h(options);
    ASSERT_FALSE(h.databaseOpen());
    // Put in place between the start and the first showing.
    TestDatabase::createAt(h.folder());
    h.form().show();
    EXPECT_TRUE(h.databaseOpen());
    EXPECT_EQ(h.messages.shown.size(), 1) << "only the start's report";
    EXPECT_TRUE(h.find<QCheckBox>("CheckBoxAutoConect")->isChecked()) << "the first showing ran on";
}

TEST(TMainForm, TheSignalFileBringsTheWindowToTheFrontAndIsDeleted)
{
    MainWindowHarness h;
    TMainForm &form = h.form();
    const ProgramFolder folder(h.folder());
    const QString signal = folder.signalFile();
    QDir().mkpath(folder.signalFolder());
    const QTimer *timerVersao = h.find<QTimer>("TimerVersao");

    // Any file at that name counts, whatever it holds.
    QFile file(signal);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    form.TimerVersaoTimer();
    EXPECT_FALSE(timerVersao->isActive()) << "disarmed while the check runs";
    EXPECT_TRUE(waitFor([&] { return timerVersao->isActive(); }));
    EXPECT_FALSE(QFile::exists(signal));
    EXPECT_EQ(h.platform.broughtToFront, 1);

    // Without a file, a tick changes nothing.
    form.TimerVersaoTimer();
    EXPECT_TRUE(waitFor([&] { return timerVersao->isActive(); }));
    EXPECT_EQ(h.platform.broughtToFront, 1);
}

TEST(TMainForm, TheHeaderLogoOpensTheManagementPage)
{
    MainWindowHarness h;
    h.form().show();
    QTest::mouseClick(h.find<PictureView>("VirtualImage1"), Qt::LeftButton);
    EXPECT_EQ(h.platform.openedPages, QStringList{QString::fromUtf8(config::courierWebUrl) +
                                                  QStringLiteral("/solicitacao/gestaoPedido")});
}
