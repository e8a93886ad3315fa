// The dispatch dialog against a courier platform fake on loopback HTTPS and a real database.
#include "dispatch/TFEntrega.h"

#include "ui/MessageBoxes.h"
#include "app/TMainForm.h"
#include "ui/Theme.h"
#include "common/HttpClient.h"
#include "cycle/MarketplaceCheck.h"
#include "support/FakePlatform.h"
#include "support/HttpsFake.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <utility>

using namespace brisfold;
using namespace brisfold::test;

namespace {

const QByteArray estimatePath = "/api/integracao/estimarEntrega";
const QByteArray bookingPath = "/api/integracao/abrirEntrega";

QByteArray estimate(const char *fee)
{
    return QByteArray(R"({"response":{"estimativa_valor":)") + fee +
           R"(,"desejado":{"lat":"-23.41","lng":"-51.92"}}})";
}

// Records each message with whether the dialog was still on screen when it was shown, and
// answers Yes/No questions from a queue, No once it runs out.
class WitnessingMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(QWidget *, const QString &text) override
    {
        shown.append(text);
        dialogVisible.append(dialog && dialog->isVisible());
    }
    bool PerguntaComTempo(QWidget *, const QString &) override { return false; }
    bool askYesNo(QWidget *, const QString &text) override
    {
        asked.append(text);
        if (whileAsking)
            std::exchange(whileAsking, nullptr)();
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }

    QWidget *dialog = nullptr;
    QStringList shown;
    QList<bool> dialogVisible;
    QStringList asked;
    QList<bool> yesNoAnswers;
    std::function<void()> whileAsking; // what happens elsewhere while the first question is open
};

const QString anotherCourier =
    QStringLiteral("Este pedido já tem entregador solicitado. Solicitar outro entregador?");
const QString despiteDelivered =
    QStringLiteral("Este pedido foi marcado como já entregue. Solicitar entregador mesmo assim?");

class Dispatch : public ::testing::Test
{
protected:
    Dispatch()
        : form(platform, messages, ProgramFolder(t.folder()))
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        form.courierSettings.baseUrl = fake.baseUrl();
        form.vpTokenMachine = QStringLiteral("chave");
        dialog = new TFEntrega(form);
        dialog->setClock(&clock);
        messages.dialog = dialog;
        form.setDialogs(dialog, nullptr);
        form.TimerPedidos->stop();

        setCompany(QStringLiteral("[x] [Z] [D] "), QStringLiteral("[Moto] [Carro] "));
        orderId = addOrder(QStringLiteral("12345"));
        fake.setReply("GET", estimatePath, FakeReply::json(estimate("12.50")));
        fake.setReply("POST", bookingPath, FakeReply::json(R"({"response":{"id_mch":991}})"));
    }

    void setCompany(const QString &payments, const QString &categories)
    {
        t.db().execute("DELETE FROM EMPRESA");
        t.db().execute(
            "INSERT INTO EMPRESA (IDMACHINE,NOME,ENDERECO,BAIRRO,CIDADE,UF,CEP,LAT,LNG,STATUS,"
            "TIPOSPAGAMENTOS,CATEGORIAS,EMAIL,SENHA) VALUES ('77','Pizzaria Bella','Av. Brasil, 100',"
            "'Centro','Maringá','PR','87013-000','-23.4210','-51.9331','A',:P,:C,"
            "'dono@pizzaria.com.br','s3nh@')",
            {{":P", payments}, {":C", categories}});
    }

    qint64 addOrder(const QString &number)
    {
        t.db().execute(
            "INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,CLIENTE,ENDERECO,LATITUDE,LONGITUDE,TELEFONE,DATAHORA) "
            "VALUES (1,:N,'Zé \"Bigode\"','Rua São João, 45 & fundos','-23.40','-51.90','44 99999-0000',"
            "strftime('%Y-%m-%d %H:%M:%S','now'))",
            {{":N", number}});
        return t.db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
    }

    // What the board does, without the modal loop, so the test can act on the open dialog.
    void open(qint64 id, const QString &number = QStringLiteral("12345"))
    {
        const ResultSet row = t.db().query("SELECT * FROM PEDIDOS WHERE ID = :ID", {{":ID", id}});
        dialog->ID = id;
        dialog->IDPEDIDO = QStringLiteral("aiqfome ") + number;
        dialog->LabelDATAHORA->setText(QStringLiteral("\U0001F552 15/03/2024 12:00"));
        dialog->CLIENTE = row.text(0, u"CLIENTE");
        dialog->TELEFONE = row.text(0, u"TELEFONE");
        dialog->ENDERECO = row.text(0, u"ENDERECO");
        dialog->LAT = row.text(0, u"LATITUDE");
        dialog->LNG = row.text(0, u"LONGITUDE");
        dialog->show();
    }

    QList<RecordedRequest> requests(const QByteArray &path) const
    {
        QList<RecordedRequest> out;
        for (const RecordedRequest &r : fake.requests())
            if (r.path == path || r.path.startsWith(path + '?'))
                out.append(r);
        return out;
    }

    QString mark(qint64 id)
    {
        return t.db().query("SELECT ID_MCH FROM PEDIDOS WHERE ID = :ID", {{":ID", id}}).text(0, u"ID_MCH");
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
    WitnessingMessageBoxes messages;
    SettableClock clock{QDateTime(QDate(2024, 3, 15), QTime(23, 30, 59))};
    TMainForm form;
    TFEntrega *dialog = nullptr;
    qint64 orderId = 0;
};

QList<QPair<QString, QString>> queryItems(const RecordedRequest &request)
{
    return QUrlQuery(QString::fromUtf8(request.query)).queryItems(QUrl::FullyDecoded);
}

} // namespace

TEST_F(Dispatch, ShowingFillsTheWindowAsksTheEstimateWithTheDialogsValuesAndShowsTheFee)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Solicitar entrega"));
    EXPECT_EQ(dialog->size(), QSize(405, 393));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$0,00"));
    const QStringList delays = items(dialog->ComboBoxAgendar);
    EXPECT_EQ(delays.size(), 23);
    EXPECT_EQ(delays.indexOf(QStringLiteral("35")) + 1, delays.indexOf(QStringLiteral("45"))) << "no 40";
    EXPECT_EQ(delays.last(), QStringLiteral("120"));
    EXPECT_EQ(dialog->ComboBoxAgendar->currentText(), QStringLiteral("5"));
    EXPECT_EQ(items(dialog->ComboBoxRetorno), (QStringList{QStringLiteral("Não"), QStringLiteral("Sim")}));
    EXPECT_EQ(dialog->ComboBoxRetorno->currentText(), QStringLiteral("Não"));

    open(orderId);

    EXPECT_EQ(dialog->Label_IDPEDIDO->text(), QStringLiteral("\U0001F9FE aiqfome 12345"));
    EXPECT_EQ(dialog->Label6CLIENTE->text(), QStringLiteral("\U0001F464 Zé \"Bigode\""));
    EXPECT_EQ(dialog->LabelENDERECO->text(), QStringLiteral("\U0001F4CD Rua São João, 45 & fundos"));
    EXPECT_EQ(items(dialog->ComboBoxPagamentos),
              (QStringList{QStringLiteral("Pix"), QStringLiteral("Dinheiro")}))
        << "lower-case code shown, unknown code skipped";
    EXPECT_EQ(dialog->ComboBoxPagamentos->currentText(), QStringLiteral("Pix"));
    EXPECT_EQ(items(dialog->ComboBoxCategorias),
              (QStringList{QStringLiteral("Moto"), QStringLiteral("Carro")}));
    EXPECT_EQ(dialog->EMPRESA_CEP, QStringLiteral("87013-000"));

    const QList<RecordedRequest> asked = requests(estimatePath);
    ASSERT_EQ(asked.size(), 1);
    const QList<QPair<QString, QString>> expected{
        {QStringLiteral("endereco_partida"), QStringLiteral("Av. Brasil, 100")},
        {QStringLiteral("bairro_partida"), QStringLiteral("Centro")},
        {QStringLiteral("cidade_partida"), QStringLiteral("Maringá")},
        {QStringLiteral("estado_partida"), QStringLiteral("PR")},
        {QStringLiteral("lat_partida"), QStringLiteral("-23.4210")},
        {QStringLiteral("lng_partida"), QStringLiteral("-51.9331")},
        {QStringLiteral("endereco_desejado"), QStringLiteral("Rua São João, 45 & fundos")},
        {QStringLiteral("bairro_desejado"), QStringLiteral("Centro")},
        {QStringLiteral("cidade_desejado"), QStringLiteral("Maringá")},
        {QStringLiteral("estado_desejado"), QStringLiteral("PR")},
        {QStringLiteral("lat_desejado"), QStringLiteral("-23.40")},
        {QStringLiteral("lng_desejado"), QStringLiteral("-51.90")},
        {QStringLiteral("latlng_paradas"), QString()},
        {QStringLiteral("categoria_nome"), QStringLiteral("Moto")},
        {QStringLiteral("com_retorno"), QStringLiteral("false")},
    };
    EXPECT_EQ(queryItems(asked.first()), expected);
    EXPECT_EQ(asked.first().header("api-key"), QByteArray("chave"));

    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$ 12.50")) << "the fee as the platform wrote it";
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
}

TEST_F(Dispatch, AFailedEstimateIsShownAndLeavesTheLastFee)
{
    fake.setReply("GET", estimatePath,
                  FakeReply::json(R"({"errors":[{"message":"Endereço fora da área"}]})", 422));
    open(orderId);
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$0,00"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("Endereço fora da área")))
        << messages.shown.first().toStdString();

    fake.setReply("GET", estimatePath, FakeReply::json(estimate(R"("9,90")")));
    dialog->ComboBoxRetorno->setCurrentText(QStringLiteral("Sim"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$ 9,90"));

    fake.setReply("GET", estimatePath, FakeReply::json("nao e json", 503));
    dialog->ComboBoxCategorias->setCurrentText(QStringLiteral("Carro"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$ 9,90"));
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays usable";
}

TEST_F(Dispatch, CategoryPaymentAndReturnAskAgainButTheDelayDoesNot)
{
    open(orderId);
    const QList<QPair<QString, QString>> first = queryItems(requests(estimatePath).last());

    struct Case
    {
        const char *name;
        std::function<void()> change;
        int newRequests;
        const char *key; // the one value expected to differ, or none
        const char *value;
    };
    const Case cases[] = {
        {"payment", [&] { dialog->ComboBoxPagamentos->setCurrentText(QStringLiteral("Dinheiro")); }, 1,
         nullptr, nullptr},
        {"delay", [&] { dialog->ComboBoxAgendar->setCurrentText(QStringLiteral("45")); }, 0, nullptr,
         nullptr},
        {"return", [&] { dialog->ComboBoxRetorno->setCurrentText(QStringLiteral("Sim")); }, 1, "com_retorno",
         "true"},
        {"category", [&] { dialog->ComboBoxCategorias->setCurrentText(QStringLiteral("Carro")); }, 1,
         "categoria_nome", "Carro"},
    };
    QList<QPair<QString, QString>> before = first;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype count = requests(estimatePath).size();
        c.change();
        ASSERT_EQ(requests(estimatePath).size(), count + c.newRequests);
        if (c.newRequests == 0)
            continue;
        QList<QPair<QString, QString>> expected = before;
        if (c.key) {
            for (auto &item : expected)
                if (item.first == QLatin1String(c.key))
                    item.second = QString::fromLatin1(c.value);
        }
        const QList<QPair<QString, QString>> sent = queryItems(requests(estimatePath).last());
        EXPECT_EQ(sent, expected);
        before = sent;
    }
}

TEST_F(Dispatch, ABookingPostsTheDocumentMarksTheOrderClosesAndThenReportsSuccess)
{
    open(orderId);
    dialog->ComboBoxRetorno->setCurrentText(QStringLiteral("Sim"));
    dialog->ComboBoxCategorias->setCurrentText(QStringLiteral("Carro"));
    dialog->ComboBoxAgendar->setCurrentText(QStringLiteral("120"));

    QTest::mouseClick(dialog->Button4, Qt::LeftButton);

    const QList<RecordedRequest> posted = requests(bookingPath);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.first().method, QByteArray("POST"));
    QJsonParseError error;
    const QJsonObject doc = QJsonDocument::fromJson(posted.first().body, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << posted.first().body.toStdString();
    EXPECT_TRUE(posted.first().body.contains("\"retorno\": true"));
    EXPECT_EQ(doc.value(u"forma_pagamento").toString(), QStringLiteral("X"));
    EXPECT_EQ(doc.value(u"empresa_id").toInt(), 77);
    EXPECT_EQ(doc.value(u"categoria_nome").toString(), QStringLiteral("Carro"));
    EXPECT_EQ(doc.value(u"data").toString(), QStringLiteral("16/03/2024")) << "23:30:59 plus 120 minutes";
    EXPECT_EQ(doc.value(u"hora").toString(), QStringLiteral("01:30"));
    const QJsonObject partida = doc.value(u"partida").toObject();
    EXPECT_EQ(partida.value(u"endereco").toString(), QStringLiteral("Av. Brasil, 100"));
    EXPECT_EQ(partida.value(u"cidade").toString(), QStringLiteral("Maringá"));
    EXPECT_EQ(partida.value(u"lat").toString(), QStringLiteral("-23.4210"));
    const QJsonObject stop = doc.value(u"paradas").toArray().at(0).toObject();
    EXPECT_EQ(stop.value(u"nome_cliente_parada").toString(), QStringLiteral("Zé \"Bigode\""));
    EXPECT_EQ(stop.value(u"telefone_cliente_parada").toString(), QStringLiteral("44 99999-0000"));
    EXPECT_EQ(stop.value(u"id_externo").toString(), QStringLiteral("aiqfome 12345"));
    EXPECT_EQ(stop.value(u"endereco_parada").toString(), QStringLiteral("Rua São João, 45 & fundos"));
    EXPECT_EQ(stop.value(u"lat_parada").toDouble(), -23.40);

    EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(messages.asked.isEmpty()) << "an open order is booked without a question";
    ASSERT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
    EXPECT_FALSE(messages.dialogVisible.first()) << "the success is reported after the dialog closed";
    EXPECT_TRUE(form.TimerPedidos->isActive());
}

TEST_F(Dispatch, ARefusedBookingIsShownWithItsAccentsAndKeepsTheDialogOpen)
{
    struct Case
    {
        const char *name;
        FakeReply reply;
        const char *expected;
    };
    const Case cases[] = {
        // Written as JSON escapes, which the client's ASCII step of a 2xx reply leaves alone.
        {"erros listed",
         FakeReply::json(R"({"response":{"erros":["Endere\u00e7o inv\u00e1lido","Sem saldo"]}})"),
         "Erro:  - Endereço inválido - Sem saldo"},
        {"error reply", FakeReply::json(R"({"errors":[{"message":"Área não atendida"}]})", 422),
         "Erro: Área não atendida\r\n"},
    };
    open(orderId);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        fake.setReply("POST", bookingPath, c.reply);
        QTest::mouseClick(dialog->Button4, Qt::LeftButton);
        EXPECT_EQ(messages.shown, QStringList{QString::fromUtf8(c.expected)});
        EXPECT_EQ(mark(orderId), QString());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(form.TimerPedidos->isActive());
    }
}

TEST_F(Dispatch, APaymentWithoutACodeSendsNothing)
{
    for (const QString &payments : {QString(), QStringLiteral("[Q] ")}) {
        SCOPED_TRACE(payments.toStdString());
        setCompany(payments, QString());
        messages.shown.clear();
        open(orderId);
        EXPECT_EQ(dialog->ComboBoxPagamentos->count(), 0);
        EXPECT_EQ(dialog->ComboBoxCategorias->count(), 0);
        ASSERT_FALSE(requests(estimatePath).isEmpty());
        EXPECT_EQ(queryItems(requests(estimatePath).last()).at(13).second, QString()) << "empty category";
        EXPECT_EQ(dialog->Label1->text(), QStringLiteral("R$ 12.50")) << "the estimate is still shown";

        QTest::mouseClick(dialog->Button4, Qt::LeftButton);
        EXPECT_EQ(messages.shown,
                  QStringList{QStringLiteral("Tipo do pagamento da entrega não especificado!")});
        EXPECT_TRUE(requests(bookingPath).isEmpty());
        EXPECT_TRUE(dialog->isVisible());
        dialog->close();
    }
}

TEST_F(Dispatch, AlreadyDeliveredMarksTheOrderWithoutAskingThePlatform)
{
    open(orderId);
    const qsizetype before = fake.requests().size();
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    EXPECT_EQ(mark(orderId), QStringLiteral("JA ENTREGUE"));
    EXPECT_EQ(fake.requests().size(), before);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_TRUE(form.TimerPedidos->isActive());
}

TEST_F(Dispatch, OpenForFillsTheDialogStopsTheRefreshAndAnyCloseSwitchesItOn)
{
    const std::pair<const char *, std::function<void()>> routes[] = {
        {"close box", [&] { dialog->close(); }},
        {"escape", [&] { QTest::keyClick(dialog, Qt::Key_Escape); }},
    };
    for (const auto &[name, close] : routes) {
        SCOPED_TRACE(name);
        form.TimerPedidos->start();
        bool refreshWhileOpen = true;
        QString header, time;
        QTimer::singleShot(0, dialog, [&] {
            refreshWhileOpen = form.TimerPedidos->isActive();
            header = dialog->Label_IDPEDIDO->text();
            time = dialog->LabelDATAHORA->text();
            close();
        });
        dialog->openFor({orderId, QStringLiteral("12345"), QStringLiteral("\U0001F552 15/03 12:00"),
                         QStringLiteral("Ana"), QString(), QStringLiteral("Rua A, 1"), QString(), QString()});
        EXPECT_FALSE(refreshWhileOpen);
        EXPECT_EQ(header, QStringLiteral("\U0001F9FE aiqfome 12345"));
        EXPECT_EQ(time, QStringLiteral("\U0001F552 15/03 12:00"));
        EXPECT_EQ(dialog->IDPEDIDO, QStringLiteral("aiqfome 12345"));
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(form.TimerPedidos->isActive());
    }
    const QList<QPair<QString, QString>> sent = queryItems(requests(estimatePath).last());
    EXPECT_EQ(sent.at(10).second, QString()) << "an order without coordinates";
}

TEST_F(Dispatch, ReturnAndDelayCarryOverToTheNextOrderWhileTheListsAreRebuilt)
{
    open(orderId);
    dialog->ComboBoxRetorno->setCurrentText(QStringLiteral("Sim"));
    dialog->ComboBoxAgendar->setCurrentText(QStringLiteral("45"));
    dialog->ComboBoxPagamentos->setCurrentText(QStringLiteral("Dinheiro"));
    dialog->close();

    const qint64 second = addOrder(QStringLiteral("777"));
    open(second, QStringLiteral("777"));
    EXPECT_EQ(dialog->ComboBoxRetorno->currentText(), QStringLiteral("Sim"));
    EXPECT_EQ(dialog->ComboBoxAgendar->currentText(), QStringLiteral("45"));
    EXPECT_EQ(dialog->ComboBoxPagamentos->currentText(), QStringLiteral("Pix"));
    EXPECT_EQ(queryItems(requests(estimatePath).last()).at(14).second, QStringLiteral("true"));

    QTest::mouseClick(dialog->Button4, Qt::LeftButton);
    const QJsonObject doc = QJsonDocument::fromJson(requests(bookingPath).last().body).object();
    EXPECT_EQ(doc.value(u"hora").toString(), QStringLiteral("00:15"));
    EXPECT_EQ(doc.value(u"paradas").toArray().at(0).toObject().value(u"id_externo").toString(),
              QStringLiteral("aiqfome 777"));
    EXPECT_EQ(mark(second), QStringLiteral("MACHINE"));
    EXPECT_EQ(mark(orderId), QString());
}

TEST_F(Dispatch, AMarkedOrderIsBookedAgainOnlyWhenTheUserSaysSo)
{
    struct Case
    {
        const char *stored;
        bool markedWhileOpen; // by the automatic dispatch, else before the card was clicked
        bool answer;
        const QString &question;
    };
    const Case cases[] = {
        {"MACHINE", false, false, anotherCourier},
        {"MACHINE", true, true, anotherCourier},
        {"JA ENTREGUE", true, false, despiteDelivered},
        {"JA ENTREGUE", false, true, despiteDelivered},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.stored) + (c.answer ? " Sim" : " Não"));
        const QString stored = QString::fromLatin1(c.stored);
        const auto setMark = [&] {
            t.db().execute("UPDATE PEDIDOS SET ID_MCH = :M WHERE ID = :ID",
                           {{":M", stored}, {":ID", orderId}});
        };
        messages.shown.clear();
        messages.dialogVisible.clear();
        messages.asked.clear();
        messages.yesNoAnswers = {c.answer};
        form.TimerPedidos->stop(); // as the board leaves it while the dialog is open
        const qsizetype before = requests(bookingPath).size();
        if (!c.markedWhileOpen)
            setMark();
        open(orderId);
        if (c.markedWhileOpen)
            setMark();

        QTest::mouseClick(dialog->Button4, Qt::LeftButton);

        EXPECT_EQ(messages.asked, QStringList{c.question});
        if (c.answer) {
            EXPECT_EQ(requests(bookingPath).size(), before + 1);
            EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
            EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
            EXPECT_FALSE(dialog->isVisible());
            EXPECT_TRUE(form.TimerPedidos->isActive());
        } else {
            EXPECT_EQ(requests(bookingPath).size(), before);
            EXPECT_EQ(mark(orderId), stored);
            EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
            EXPECT_TRUE(dialog->isVisible()) << "answering Não leaves the dialog as it was";
            EXPECT_FALSE(form.TimerPedidos->isActive());
            dialog->close();
        }
    }
}

TEST_F(Dispatch, TheMarkIsReadAgainAfterTheQuestionIsAnswered)
{
    t.db().execute("UPDATE PEDIDOS SET ID_MCH = 'JA ENTREGUE'");
    open(orderId);
    // The answer covers the mark it was given for; another mark by then is asked about anew.
    messages.whileAsking = [&] { t.db().execute("UPDATE PEDIDOS SET ID_MCH = 'MACHINE'"); };
    messages.yesNoAnswers = {true, false};
    QTest::mouseClick(dialog->Button4, Qt::LeftButton);
    EXPECT_EQ(messages.asked, (QStringList{despiteDelivered, anotherCourier}));
    EXPECT_TRUE(requests(bookingPath).isEmpty());
    EXPECT_TRUE(dialog->isVisible());
}

namespace {

class SignedInEvents final : public CheckEvents
{
public:
    void statusText(const QString &) override {}
    void showNotice(const QString &) override {}
    void hideNotice() override {}
    void credentialsRefused() override {}
    void paymentTypeMissing(const QString &) override {}
    bool signedIn() const override { return true; }
};

// Polls until `done` holds or two seconds pass.
bool eventually(const std::function<bool()> &done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

} // namespace

// The dialog and the automatic dispatch at the same moment: whichever posts first holds the
// order until it is marked, and the other does not post it at all.
TEST_F(Dispatch, TheDialogAndTheAutomaticDispatchNeverPostTheSameOrderTogether)
{
    CheckInput input;
    input.courierKey = QStringLiteral("chave");
    input.dispatch = {true, QStringLiteral("5"), QStringLiteral("Pix"), QStringLiteral("Moto"),
                      QStringLiteral("Não")};

    for (const bool dialogFirst : {false, true}) {
        SCOPED_TRACE(dialogFirst ? "dialog first" : "automatic dispatch first");
        // A platform whose bookings answer only when released.
        HttpsFake platform;
        FakeReply slowBooking = FakeReply::json(R"({"response":{"id_mch":991}})");
        slowBooking.behaviour = FakeReply::Behaviour::HangBeforeReply;
        platform.setReply("POST", bookingPath, slowBooking);
        platform.setReply("GET", estimatePath, FakeReply::json(estimate("12.50")));
        form.courierSettings.baseUrl = platform.baseUrl();
        const auto bookings = [&] {
            qsizetype n = 0;
            for (const RecordedRequest &r : platform.requests())
                n += r.path == bookingPath;
            return n;
        };
        const MarketplaceCheck check(form.FDConnection, MarketplaceSettings{}, form.courierSettings, clock);
        const auto automaticDispatch = [&] {
            SignedInEvents events;
            check.AbrirEntregaAgendarAutomatico(input, events);
        };

        t.db().execute("UPDATE PEDIDOS SET ID_MCH = NULL");
        messages.shown.clear();
        open(orderId);

        std::atomic<bool> secondDone = false;
        // Lets the first post answer once the other path has had its go, or once it has posted
        // too, so a fault shows as a second booking rather than a hang.
        std::thread releaser([&] {
            eventually([&] { return secondDone.load() || bookings() > 1; });
            platform.release();
        });
        if (dialogFirst) {
            std::thread worker([&] {
                eventually([&] { return bookings() == 1; });
                automaticDispatch();
                secondDone = true;
            });
            QTest::mouseClick(dialog->Button4, Qt::LeftButton);
            worker.join();
            EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
        } else {
            std::thread worker(automaticDispatch);
            EXPECT_TRUE(eventually([&] { return bookings() == 1; }));
            QTest::mouseClick(dialog->Button4, Qt::LeftButton);
            secondDone = true;
            worker.join();
            EXPECT_EQ(messages.shown,
                      QStringList{QStringLiteral("Este pedido já tem entregador solicitado.")});
        }
        releaser.join();

        EXPECT_EQ(bookings(), 1);
        EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST_F(Dispatch, AFailureToMarkAfterBookingClosesTheDialogSoTheCourierIsNotBookedTwice)
{
    t.db().execute("CREATE TRIGGER recusa BEFORE UPDATE OF ID_MCH ON PEDIDOS BEGIN "
                   "SELECT RAISE(ABORT, 'disco cheio'); END");
    open(orderId);
    QTest::mouseClick(dialog->Button4, Qt::LeftButton);
    EXPECT_EQ(requests(bookingPath).size(), 1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("disco cheio")));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(form.TimerPedidos->isActive());
}

TEST_F(Dispatch, TheWindowHasACloseBoxOnlyAFixedSizeAndOpensInTheMiddleOfTheScreen)
{
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    for (const Qt::WindowType hint :
         {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
        EXPECT_FALSE(flags.testFlag(hint)) << hint;

    // The main window in a corner, so that the middle of it is not the middle of the screen.
    form.move(0, 0);
    form.show();
    open(orderId);
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_NE(form.frameGeometry().center(), screen.center());
    EXPECT_EQ(dialog->frameGeometry().center(), screen.center());
    EXPECT_EQ(dialog->size(), QSize(405, 393));
    // What the window manager is told: it may neither shrink nor grow the window.
    ASSERT_NE(dialog->windowHandle(), nullptr);
    EXPECT_EQ(dialog->windowHandle()->minimumSize(), QSize(405, 393));
    EXPECT_EQ(dialog->windowHandle()->maximumSize(), QSize(405, 393));
    EXPECT_EQ(dialog->windowHandle()->flags(), flags);

    // Moved aside and opened again: back in the middle.
    dialog->close();
    dialog->move(screen.topLeft());
    open(orderId);
    EXPECT_EQ(dialog->frameGeometry().center(), screen.center());
}

TEST_F(Dispatch, Screenshot)
{
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    ASSERT_EQ(applyTabletDark(*application), QString());
    t.db().execute(
        "UPDATE PEDIDOS SET CLIENTE = 'Ana Beatriz Gonçalves', ENDERECO = 'Avenida Paranavaí, 1290, "
        "apto 32 bloco B - Jardim Alvorada, próximo ao mercado'");
    open(orderId);
    dialog->ComboBoxRetorno->setCurrentText(QStringLiteral("Sim"));
    QTest::qWait(20);
    const QString dir = QStringLiteral(BRISFOLD_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(dialog->grab().save(dir + QStringLiteral("/dispatch-dialog.png")));
    application->setStyleSheet(QString());
    application->setPalette(QPalette());
}
