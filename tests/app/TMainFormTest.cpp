#include "app/TMainForm.h"

#include "ui/PictureView.h"
#include "support/FakePlatform.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

struct MainFormFixture
{
    explicit MainFormFixture(const QString &folder)
        : form(platform, messages, ProgramFolder(folder))
    {}

    FakePlatform platform;
    RecordingMessageBoxes messages;
    TMainForm form;
};

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

void storeCompany(Database &db, const char *autoconnect)
{
    db.execute("INSERT INTO EMPRESA (NOME,STATUS,AUTOCONNECT,EMAIL,SENHA) VALUES ('Pizzaria',"
               "'A',:AUTOCONNECT,'dono@pizzaria.com.br','s3nh@')",
               {{":AUTOCONNECT", QString::fromLatin1(autoconnect)}});
}

} // namespace

TEST(TMainForm, IsCreatedSignedOutWithItsTimersTitleAndAutostart)
{
    TestDatabase t;
    MainFormFixture f(t.folder());
    TMainForm &form = f.form;

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Trevant - v5.6.0"));
    EXPECT_TRUE(f.messages.shown.isEmpty());
    EXPECT_TRUE(form.FDConnection.isOpen());
    EXPECT_FALSE(form.vLogado);
    EXPECT_EQ(form.vpEmpresa, QStringLiteral("Trevant"));
    EXPECT_TRUE(form.vpUrlEmpresa.endsWith(QStringLiteral("/solicitacao/gestaoPedido")));
    EXPECT_EQ(form.vpTokenMachine.size(), 32);
    EXPECT_EQ(form.vpIndexLogo, 19);
    EXPECT_EQ(form.VirtualImage1->position(), 19);
    EXPECT_EQ(f.platform.autostartFolders, QStringList{QDir(t.folder()).absolutePath()});

    struct TimerCase
    {
        QTimer *timer;
        int interval;
        bool active;
    };
    const TimerCase timers[] = {{form.TimerLogin, 1, true},
                                {form.TimerLoginAutomatico, 500, false},
                                {form.TimerPedidos, 500, true},
                                {form.TimerDelivery, 1000, true},
                                {form.TimerCountDelivery, 1000, false},
                                {form.TimerCadastroEntrega, 500, false},
                                {form.TimerVersao, 1000, true}};
    for (const TimerCase &c : timers) {
        SCOPED_TRACE(c.timer->objectName().toStdString());
        EXPECT_EQ(c.timer->interval(), c.interval);
        EXPECT_EQ(c.timer->isActive(), c.active);
    }

    form.show();
    EXPECT_TRUE(form.PanelLogin->isVisible());
    EXPECT_EQ(form.PanelLogin->height(), 450);
    EXPECT_FALSE(form.PanelMenu->isVisible());
    EXPECT_FALSE(form.PanelPedidos->isVisible());
    EXPECT_FALSE(form.SpeedButton5->isVisible());
    EXPECT_EQ(form.Button4->text(), QStringLiteral("ENTRAR"));
    EXPECT_EQ(form.EditSenha->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.Label6PEDIDOS->text(), QStringLiteral("CALCULANDO PEDIDOS"));
}

TEST(TMainForm, HasAFixedFrameWithoutMaximiseCentredOnTheScreen)
{
    TestDatabase t;
    MainFormFixture f(t.folder());
    TMainForm &form = f.form;

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

    EXPECT_EQ(form.StatusPanel0->width(), 200);
    EXPECT_EQ(form.StatusPanel1->width(), 500);
}

TEST(TMainForm, TheFaceFollowsTheSignInFlagAtEveryTickOfTimerLogin)
{
    TestDatabase t;
    MainFormFixture f(t.folder());
    TMainForm &form = f.form;
    form.show();

    form.vLogado = true;
    form.TimerLoginTimer();
    EXPECT_EQ(form.TimerLogin->interval(), 5000);
    EXPECT_TRUE(form.TimerLogin->isActive());
    EXPECT_FALSE(form.PanelLogin->isVisible());
    EXPECT_EQ(form.PanelLogin->height(), 1);
    EXPECT_TRUE(form.PanelMenu->isVisible());
    EXPECT_TRUE(form.PanelPedidos->isVisible());
    EXPECT_TRUE(form.SpeedButton5->isVisible());

    form.vLogado = false;
    form.TimerLoginTimer();
    EXPECT_TRUE(form.PanelLogin->isVisible());
    EXPECT_FALSE(form.PanelPedidos->isVisible());
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
        TestDatabase t;
        if (c.autoconnect)
            storeCompany(t.db(), c.autoconnect);
        MainFormFixture f(t.folder());
        TMainForm &form = f.form;
        form.CheckBoxAutoConect->setChecked(false);
        form.show();

        EXPECT_TRUE(form.CheckBoxAutoConect->isChecked());
        EXPECT_EQ(form.TimerLoginAutomatico->isActive(), c.stored);
        EXPECT_EQ(form.EditEmail->text(), c.stored ? QStringLiteral("dono@pizzaria.com.br") : QString());
        EXPECT_EQ(form.EditSenha->text(), c.stored ? QStringLiteral("s3nh@") : QString());
        if (!c.stored) {
            EXPECT_EQ(form.focusWidget(), form.EditEmail);
        }
        EXPECT_TRUE(f.messages.shown.isEmpty());
    }
}

TEST(TMainForm, ADatabaseThatCannotBeOpenedIsReportedAndTheWindowStillShows)
{
    QTemporaryDir empty; // no BD folder at all
    MainFormFixture f(empty.path());
    TMainForm &form = f.form;

    ASSERT_EQ(f.messages.shown.size(), 1);
    const QString first = f.messages.shown.at(0);
    EXPECT_TRUE(first.startsWith(QStringLiteral("Erro: Avise o Suporte")));
    EXPECT_GT(first.size(), QStringLiteral("Erro: Avise o Suporte").size())
        << "the engine's text follows directly";
    EXPECT_EQ(f.platform.startedScripts,
              QStringList{QDir(empty.path()).filePath(QStringLiteral("fechar.sh"))});
    EXPECT_EQ(form.vpEmpresa, QStringLiteral("Trevant"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Trevant - v5.6.0"));

    form.show();
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(f.messages.shown.size(), 2) << "the renewed attempt fails too";
    EXPECT_EQ(QStringLiteral("Erro: Avise o Suporte") + f.messages.shown.at(1), first);
    EXPECT_FALSE(form.CheckBoxAutoConect->isChecked()) << "the rest of the first showing is skipped";
    EXPECT_TRUE(form.PanelLogin->isVisible());
    EXPECT_EQ(f.platform.startedScripts.size(), 1);
}

TEST(TMainForm, TheSignalFileBringsTheWindowToTheFrontAndIsDeleted)
{
    TestDatabase t;
    MainFormFixture f(t.folder());
    TMainForm &form = f.form;
    const QString signal = form.folder().signalFile();
    QDir().mkpath(form.folder().signalFolder());

    // Any file at that name counts, whatever it holds.
    QFile file(signal);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    form.TimerVersaoTimer();
    EXPECT_FALSE(form.TimerVersao->isActive()) << "disarmed while the check runs";
    EXPECT_TRUE(waitFor([&] { return form.TimerVersao->isActive(); }));
    EXPECT_FALSE(QFile::exists(signal));
    EXPECT_EQ(f.platform.broughtToFront, 1);

    // Without a file, a tick changes nothing.
    form.TimerVersaoTimer();
    EXPECT_TRUE(waitFor([&] { return form.TimerVersao->isActive(); }));
    EXPECT_EQ(f.platform.broughtToFront, 1);
}

TEST(TMainForm, TheHeaderLogoOpensTheManagementPage)
{
    TestDatabase t;
    MainFormFixture f(t.folder());
    f.form.show();
    QTest::mouseClick(f.form.VirtualImage1, Qt::LeftButton);
    EXPECT_EQ(f.platform.openedPages, QStringList{f.form.vpUrlEmpresa});
}
