// The support log wired to the main window as the program's start wires it: what a session
// writes, and a log folder that cannot be written.
#include "BuildConfig.h"
#include "app/LogNotice.h"
#include "app/LoggingMessageBoxes.h"
#include "app/StartSequence.h"
#include "app/TMainForm.h"
#include "common/HttpClient.h"
#include "marketplace/TFCadastroDelivery.h"
#include "store/Connections.h"
#include "support/FakePlatform.h"
#include "support/HttpsFake.h"
#include "support/ReadOnlyFolder.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"
#include "support/WaitFor.h"
#include "supportlog/EventLog.h"
#include "supportlog/SupportLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray companyProfile =
    R"({"response":{"id":77,"nome":"Pizzaria Bella","endereco":"Av. Brasil, 100","bairro":"Centro",)"
    R"("cidade":"Maringá","uf":"PR","cep":"87013-000","lat":"-23.4210","lng":"-51.9331",)"
    R"("status_empresa":"A","tipos_pagamento":["f","Z"],"categorias":[{"nome":"Moto"},{"nome":"Carro"}],)"
    R"("telefone":"44 3000-0000","documento":"123"}})";

// Every text the second status-bar panel shows between two events of the UI thread, in order.
// A notice is shown by its own queued call, so none is missed.
class StatusPanelWitness final : public QObject
{
public:
    StatusPanelWitness(std::function<const QLabel *()> panel, const QObject *notice)
        : panel_(std::move(panel))
        , notice_(notice)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~StatusPanelWitness() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QLabel *panel = panel_();
        if (panel && (texts.isEmpty() || texts.last() != panel->text()))
            texts << panel->text();
        if (watched == notice_ && event->type() == QEvent::MetaCall)
            ++noticesDelivered;
        return false;
    }

    QStringList texts;
    int noticesDelivered = 0;

private:
    std::function<const QLabel *()> panel_; // null until the window is made
    const QObject *notice_;
};

// The start's order: the log and its notice first, then the database and the main window, whose
// status bar receives the notice. Message boxes are recorded and logged as the program logs them.
class LoggedWindow : public ::testing::Test
{
protected:
    LoggedWindow() { HttpClient::setExtraCaFile(HttpsFake::caFile()); }
    ~LoggedWindow() override
    {
        form.reset();
        eventlog::install(nullptr);
        log.reset();
    }

    void startLog()
    {
        log = std::make_unique<SupportLog>(folder.file(QStringLiteral("log")), clock,
                                           [this](const QString &text) { logNotice.post(text); });
        eventlog::install(log.get());
        eventlog::write(
            eventlog::programStarted(QString::fromLatin1(config::version), folder.path(), folder.database()));
    }

    void openWindow()
    {
        openDatabase(connections, folder, platform, messages);
        WebServices services;
        services.courier.baseUrl = courier.baseUrl();
        services.marketplace.baseUrl = marketplace.baseUrl();
        form = std::make_unique<TMainForm>(platform, messages, connections, clock, folder, services);
        logNotice.setWindow(form.get());
        form->show();
    }

    template <typename T> T *find(QObject *parent, const char *name)
    {
        T *found = parent->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Every log file's text, after what is queued is written.
    QString logText()
    {
        log->flush();
        QString text;
        const QDir dir(folder.file(QStringLiteral("log")));
        for (const QString &name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(file.readAll());
        }
        return text;
    }

    void offerOrder(const QByteArray &number)
    {
        const QByteArray now = clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        marketplace.setReply(
            "GET", "/alfredo/orders/search",
            FakeReply::json(R"({"data":[{"order_id":")" + number + R"(","created_at":")" + now +
                            R"(","is_read":true,"is_ready":false,"order_is_pickup":false}]})"));
        marketplace.setReply(
            "GET", "/alfredo/orders/" + number,
            FakeReply::json(
                R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,)"
                R"("is_delivered":false,"created_at":")" +
                now +
                R"(","user":{"name":"Maria","surname":"Silva","address":{"street_name":"R","number":"1",)"
                R"("complement":"","reference":"","phone":"44","mobile_phone":"","city_name":"C","state_uf":"PR",)"
                R"("latitude":"-23","longitude":"-51"}}}})"));
    }

    QString markOf(const char *number)
    {
        return database.db()
            .query("SELECT ID_MCH FROM PEDIDOS WHERE IDPEDIDO = :N", {{":N", QString::fromLatin1(number)}})
            .text(0, u"ID_MCH");
    }

    HttpsFake courier;
    HttpsFake marketplace;
    TestDatabase database;
    ProgramFolder folder{database.folder()};
    FakePlatform platform;
    RecordingMessageBoxes shown;
    LoggingMessageBoxes messages{shown};
    SettableClock clock{QDateTime::currentDateTime()};
    LogNotice logNotice;
    std::unique_ptr<SupportLog> log;
    Connections connections;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(LoggedWindow, ASessionLogsNoPasswordTokenKeyOrSecret)
{
    const QString courierPassword = QStringLiteral("Trevant-s3nha!");
    const QString marketplacePassword = QStringLiteral("aiqfome-Senha#9");
    const QByteArray token = "tok-9f8e7d6c5b4a39281706";
    database.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN,SENHA) VALUES ('loja','antiga')");
    courier.setReply("GET", "/api/integracao/empresa", FakeReply::json(companyProfile));
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"id_mch":"4711"}})"));
    marketplace.setReply(
        "POST", "/alfredo/auth/token",
        FakeReply::json(R"({"data":{"access_token":")" + token + R"(","expires_in":3600}})"));
    offerOrder("M1");
    startLog();
    openWindow();

    // Sign-in with ENTRAR.
    find<QLineEdit>(form.get(), "EditEmail")->setText(QStringLiteral("dono@pizzaria.com.br"));
    find<QLineEdit>(form.get(), "EditSenha")->setText(courierPassword);
    QTest::mouseClick(find<QPushButton>(form.get(), "Button4"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return form->vLogado(); }, 15000));
    find<QCheckBox>(form.get(), "CheckBoxRebimentoAutomatico")->setChecked(true);

    // The credentials saved in their dialog ask for a check, which books the new order.
    QTest::mouseClick(find<QPushButton>(form.get(), "SpeedButton2"), Qt::LeftButton);
    auto *dialog = form->findChild<TFCadastroDelivery *>();
    ASSERT_NE(dialog, nullptr);
    find<QLineEdit>(dialog, "EditLogin")->setText(QStringLiteral("loja-nova"));
    find<QLineEdit>(dialog, "EditSenha")->setText(marketplacePassword);
    QTest::mouseClick(find<QPushButton>(dialog, "Button4"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return markOf("M1") == u"MACHINE" && !form->checkRunning(); }, 20000));
    ASSERT_FALSE(marketplace.requests().isEmpty());
    EXPECT_TRUE(marketplace.requests().first().body.contains(marketplacePassword.toUtf8()))
        << "the marketplace was signed in with the saved password";

    shown.answer = true;
    QMetaObject::invokeMethod(form.get(), "SpeedButton5Click");
    EXPECT_FALSE(form->vLogado());
    form.reset();

    const QString text = logText();
    EXPECT_TRUE(text.contains(QStringLiteral("Login na Trevant: dono@pizzaria.com.br")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Credenciais do Aiqfome salvas: usuário loja-nova")));
    EXPECT_TRUE(text.contains(QStringLiteral("Pedido armazenado: aiqfome M1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Logout da Trevant: dono@pizzaria.com.br")));
    const struct
    {
        const char *what;
        QString secret;
    } secrets[] = {
        {"courier password", courierPassword},
        {"marketplace password", marketplacePassword},
        {"marketplace token", QString::fromLatin1(token)},
        {"courier integration key", QString::fromLatin1(config::courierApiKey)},
        {"marketplace client secret", QString::fromLatin1(config::marketplaceClientSecret)},
    };
    for (const auto &s : secrets) {
        SCOPED_TRACE(s.what);
        ASSERT_FALSE(s.secret.isEmpty());
        EXPECT_FALSE(text.contains(s.secret));
    }
}

TEST_F(LoggedWindow, AFolderThatCannotBeWrittenIsReportedOnceInTheStatusBarAndTheWorkGoesOn)
{
    const QString logFolder = folder.file(QStringLiteral("log"));
    ASSERT_TRUE(QDir().mkpath(logFolder));
    database.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN,SENHA) VALUES ('loja','pw')");
    database.db().execute("INSERT INTO EMPRESA (IDMACHINE, NOME, EMAIL, SENHA, LAT, LNG, STATUS) "
                          "VALUES ('5', 'Cantina', 'loja@exemplo.com.br', 'pw', '-23', '-51', 'A')");
    marketplace.setReply("POST", "/alfredo/auth/token",
                         FakeReply::json(R"({"data":{"access_token":"tok","expires_in":3600}})"));
    courier.setReply("POST", "/api/integracao/abrirEntrega",
                     FakeReply::json(R"({"response":{"id_mch":"9"}})"));
    offerOrder("M1");
    {
        // Before the log, so that its writer thread has no right to override the modes either.
        const ReadOnlyFolder readOnly(logFolder);
        StatusPanelWitness witness(
            [this]() -> const QLabel * {
                return form ? form->findChild<QLabel *>(QStringLiteral("StatusPanel1")) : nullptr;
            },
            &logNotice);
        startLog();
        openWindow();

        find<QComboBox>(form.get(), "ComboBoxCategorias")->addItems({QStringLiteral("Moto")});
        find<QComboBox>(form.get(), "ComboBoxPagamentos")->addItems({QStringLiteral("Faturado")});
        form->setVLogado(true);
        form->Logado(true);
        find<QCheckBox>(form.get(), "CheckBoxRebimentoAutomatico")->setChecked(true);
        for (int check = 0; check < 2; ++check) {
            form->TimerDeliveryTimer();
            ASSERT_TRUE(waitFor([&] { return !form->checkRunning(); }, 15000));
        }
        EXPECT_EQ(markOf("M1"), u"MACHINE");
        log->flush();
        QTest::qWait(50);
        QCoreApplication::processEvents();

        const auto notices = std::count_if(witness.texts.begin(), witness.texts.end(), [](const QString &t) {
            return t.startsWith(QStringLiteral("Registro desligado: "));
        });
        EXPECT_EQ(notices, 1) << witness.texts.join(u'\n').toStdString();
        EXPECT_LE(witness.noticesDelivered, 1);
        form.reset();
        eventlog::install(nullptr);
        log.reset();
    }
    EXPECT_TRUE(QDir(logFolder).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(shown.shown.isEmpty()) << shown.shown.join(u'\n').toStdString();
}
