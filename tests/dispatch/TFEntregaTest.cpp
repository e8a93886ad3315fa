// The dispatch dialog against a courier platform fake on loopback HTTPS and a real database.
#include "dispatch/TFEntrega.h"

#include "common/HttpClient.h"
#include "courier/CourierBooking.h"
#include "cycle/MarketplaceCheck.h"
#include "store/DispatchClaim.h"
#include "support/HttpsFake.h"
#include "support/SettableClock.h"
#include "support/TestDatabase.h"
#include "support/WaitFor.h"
#include "ui/MessageBoxes.h"
#include "ui/Theme.h"

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
    {
        HttpClient::setExtraCaFile(HttpsFake::caFile());
        messages.dialog = &dialog;
        // As the main window does with its board: held while the dialog is open.
        QObject::connect(&dialog, &TFEntrega::opened, [this] { boardHeld = true; });
        QObject::connect(&dialog, &TFEntrega::closed, [this] { boardHeld = false; });

        setCompany(QStringLiteral("[x] [Z] [D] "), QStringLiteral("[Moto] [Carro] "));
        orderId = addOrder(QStringLiteral("12345"));
        fake.setReply("GET", estimatePath, FakeReply::json(estimate("12.50")));
        fake.setReply("POST", bookingPath, FakeReply::json(R"({"response":{"id_mch":991}})"));
    }

    // The program's own connection, on which the dialog and the automatic dispatch take their
    // claims; the fixture's second one sets up and checks rows.
    static Database &openProgramDb(Database &db, const QString &path)
    {
        EXPECT_TRUE(db.open(path));
        return db;
    }

    CourierSettings courierAt(const QString &baseUrl) const
    {
        CourierSettings settings;
        settings.baseUrl = baseUrl;
        return settings;
    }

    template <typename T> T *find(const char *name)
    {
        T *found = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
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

    // The order as the board hands it over, shown without the modal loop, so the test can act on
    // the open dialog.
    void open(qint64 id) { open(id, dialog); }
    void open(qint64 id, TFEntrega &target)
    {
        const ResultSet row = t.db().query("SELECT * FROM PEDIDOS WHERE ID = :ID", {{":ID", id}});
        DispatchOrder order;
        order.ID = id;
        order.IDPEDIDO = row.text(0, u"IDPEDIDO");
        order.CLIENTE = row.text(0, u"CLIENTE");
        order.TELEFONE = row.text(0, u"TELEFONE");
        order.ENDERECO = row.text(0, u"ENDERECO");
        order.LATITUDE = row.text(0, u"LATITUDE");
        order.LONGITUDE = row.text(0, u"LONGITUDE");
        target.load(order, QStringLiteral("\U0001F552 15/03/2024 12:00"));
        target.show();
        settle(target);
    }

    // The platform is asked on a worker; its answer is in once the buttons are back.
    static void settle(TFEntrega &target)
    {
        auto *button = target.findChild<QPushButton *>(QStringLiteral("Button4"));
        EXPECT_TRUE(waitFor([button] { return button->isEnabled(); }));
    }
    void settle() { settle(dialog); }

    // A click on one of the dialog's buttons, and the platform's answer to it.
    void click(QPushButton *button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
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
    Database programDb;
    WitnessingMessageBoxes messages;
    SettableClock clock{QDateTime(QDate(2024, 3, 15), QTime(23, 30, 59))};
    QWidget window; // stands for the main window
    TFEntrega dialog{CompanyStore(openProgramDb(programDb, t.path())),
                     OrderStore(programDb),
                     courierAt(fake.baseUrl()),
                     QStringLiteral("chave"),
                     messages,
                     clock,
                     &window};
    bool boardHeld = false;
    qint64 orderId = 0;

    QLabel *orderLine = find<QLabel>("Label_IDPEDIDO");
    QLabel *timeLine = find<QLabel>("LabelDATAHORA");
    QLabel *customerLine = find<QLabel>("Label6CLIENTE");
    QLabel *addressLine = find<QLabel>("LabelENDERECO");
    QComboBox *categories = find<QComboBox>("ComboBoxCategorias");
    QComboBox *payments = find<QComboBox>("ComboBoxPagamentos");
    QComboBox *delays = find<QComboBox>("ComboBoxAgendar");
    QComboBox *returns = find<QComboBox>("ComboBoxRetorno");
    QLabel *fee = find<QLabel>("Label1");
    QPushButton *delivered = find<QPushButton>("Button1");
    QPushButton *book = find<QPushButton>("Button4");
};

QList<QPair<QString, QString>> queryItems(const RecordedRequest &request)
{
    return QUrlQuery(QString::fromUtf8(request.query)).queryItems(QUrl::FullyDecoded);
}

} // namespace

TEST_F(Dispatch, ShowingFillsTheWindowAsksTheEstimateWithTheDialogsValuesAndShowsTheFee)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Solicitar entrega"));
    EXPECT_EQ(dialog.size(), QSize(405, 393));
    EXPECT_EQ(fee->text(), QStringLiteral("R$0,00"));
    const QStringList delayItems = items(delays);
    EXPECT_EQ(delayItems.size(), 23);
    EXPECT_EQ(delayItems.indexOf(QStringLiteral("35")) + 1, delayItems.indexOf(QStringLiteral("45")))
        << "no 40";
    EXPECT_EQ(delayItems.last(), QStringLiteral("120"));
    EXPECT_EQ(delays->currentText(), QStringLiteral("5"));
    EXPECT_EQ(items(returns), (QStringList{QStringLiteral("Não"), QStringLiteral("Sim")}));
    EXPECT_EQ(returns->currentText(), QStringLiteral("Não"));

    open(orderId);

    EXPECT_EQ(orderLine->text(), QStringLiteral("\U0001F9FE aiqfome 12345"));
    EXPECT_EQ(customerLine->text(), QStringLiteral("\U0001F464 Zé \"Bigode\""));
    EXPECT_EQ(addressLine->text(), QStringLiteral("\U0001F4CD Rua São João, 45 & fundos"));
    EXPECT_EQ(items(payments), (QStringList{QStringLiteral("Pix"), QStringLiteral("Dinheiro")}))
        << "lower-case code shown, unknown code skipped";
    EXPECT_EQ(payments->currentText(), QStringLiteral("Pix"));
    EXPECT_EQ(items(categories), (QStringList{QStringLiteral("Moto"), QStringLiteral("Carro")}));

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

    EXPECT_EQ(fee->text(), QStringLiteral("R$ 12.50")) << "the fee as the platform wrote it";
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
}

TEST_F(Dispatch, AFailedEstimateIsShownAndLeavesTheLastFee)
{
    fake.setReply("GET", estimatePath,
                  FakeReply::json(R"({"errors":[{"message":"Endereço fora da área"}]})", 422));
    open(orderId);
    EXPECT_EQ(fee->text(), QStringLiteral("R$0,00"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("Endereço fora da área")))
        << messages.shown.first().toStdString();

    fake.setReply("GET", estimatePath, FakeReply::json(estimate(R"("9,90")")));
    returns->setCurrentText(QStringLiteral("Sim"));
    settle();
    EXPECT_EQ(fee->text(), QStringLiteral("R$ 9,90"));

    fake.setReply("GET", estimatePath, FakeReply::json("nao e json", 503));
    categories->setCurrentText(QStringLiteral("Carro"));
    settle();
    EXPECT_EQ(fee->text(), QStringLiteral("R$ 9,90"));
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(dialog.isVisible()) << "the dialog stays usable";
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
        {"payment", [&] { payments->setCurrentText(QStringLiteral("Dinheiro")); }, 1, nullptr, nullptr},
        {"delay", [&] { delays->setCurrentText(QStringLiteral("45")); }, 0, nullptr, nullptr},
        {"return", [&] { returns->setCurrentText(QStringLiteral("Sim")); }, 1, "com_retorno", "true"},
        {"category", [&] { categories->setCurrentText(QStringLiteral("Carro")); }, 1, "categoria_nome",
         "Carro"},
    };
    QList<QPair<QString, QString>> before = first;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype count = requests(estimatePath).size();
        c.change();
        settle();
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
    returns->setCurrentText(QStringLiteral("Sim"));
    settle();
    categories->setCurrentText(QStringLiteral("Carro"));
    settle();
    delays->setCurrentText(QStringLiteral("120"));

    click(book);

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
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(messages.asked.isEmpty()) << "an open order is booked without a question";
    ASSERT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
    EXPECT_FALSE(messages.dialogVisible.first()) << "the success is reported after the dialog closed";
    EXPECT_FALSE(boardHeld) << "the board refreshes again";
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
        click(book);
        EXPECT_EQ(messages.shown, QStringList{QString::fromUtf8(c.expected)});
        EXPECT_EQ(mark(orderId), QString());
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(boardHeld);
    }
}

TEST_F(Dispatch, APaymentWithoutACodeSendsNothing)
{
    for (const QString &codes : {QString(), QStringLiteral("[Q] ")}) {
        SCOPED_TRACE(codes.toStdString());
        setCompany(codes, QString());
        messages.shown.clear();
        open(orderId);
        EXPECT_EQ(payments->count(), 0);
        EXPECT_EQ(categories->count(), 0);
        ASSERT_FALSE(requests(estimatePath).isEmpty());
        EXPECT_EQ(queryItems(requests(estimatePath).last()).at(13).second, QString()) << "empty category";
        EXPECT_EQ(fee->text(), QStringLiteral("R$ 12.50")) << "the estimate is still shown";

        click(book);
        EXPECT_EQ(messages.shown,
                  QStringList{QStringLiteral("Tipo do pagamento da entrega não especificado!")});
        EXPECT_TRUE(requests(bookingPath).isEmpty());
        EXPECT_TRUE(dialog.isVisible());
        dialog.close();
    }
}

TEST_F(Dispatch, AlreadyDeliveredMarksTheOrderWithoutAskingThePlatform)
{
    open(orderId);
    const qsizetype before = fake.requests().size();
    click(delivered);
    EXPECT_EQ(mark(orderId), QStringLiteral("JA ENTREGUE"));
    EXPECT_EQ(fake.requests().size(), before);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(boardHeld) << "the board refreshes again";
}

TEST_F(Dispatch, OpenForFillsTheDialogStopsTheRefreshAndAnyCloseSwitchesItOn)
{
    const std::pair<const char *, std::function<void()>> routes[] = {
        {"close box", [&] { dialog.close(); }},
        {"escape", [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }},
    };
    for (const auto &[name, close] : routes) {
        SCOPED_TRACE(name);
        bool heldWhileOpen = false;
        QString header, time;
        QTimer::singleShot(0, &dialog, [&] {
            heldWhileOpen = boardHeld;
            header = orderLine->text();
            time = timeLine->text();
            close();
        });
        dialog.openFor({orderId, QStringLiteral("12345"), QStringLiteral("Ana"), QString(),
                        QStringLiteral("Rua A, 1"), QString(), QString()},
                       QStringLiteral("\U0001F552 15/03 12:00"));
        EXPECT_TRUE(heldWhileOpen);
        EXPECT_EQ(header, QStringLiteral("\U0001F9FE aiqfome 12345"));
        EXPECT_EQ(time, QStringLiteral("\U0001F552 15/03 12:00"));
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(boardHeld) << "the board refreshes again";
    }
    // The estimate goes on after the dialog closed; its answer is nobody's any more.
    ASSERT_TRUE(waitFor([&] { return !requests(estimatePath).isEmpty(); }));
    settle();
    EXPECT_TRUE(messages.shown.isEmpty());
    const QList<QPair<QString, QString>> sent = queryItems(requests(estimatePath).last());
    EXPECT_EQ(sent.at(10).second, QString()) << "an order without coordinates";
}

TEST_F(Dispatch, ReturnAndDelayCarryOverToTheNextOrderWhileTheListsAreRebuilt)
{
    open(orderId);
    returns->setCurrentText(QStringLiteral("Sim"));
    settle();
    delays->setCurrentText(QStringLiteral("45"));
    payments->setCurrentText(QStringLiteral("Dinheiro"));
    settle();
    dialog.close();

    const qint64 second = addOrder(QStringLiteral("777"));
    open(second);
    EXPECT_EQ(returns->currentText(), QStringLiteral("Sim"));
    EXPECT_EQ(delays->currentText(), QStringLiteral("45"));
    EXPECT_EQ(payments->currentText(), QStringLiteral("Pix"));
    EXPECT_EQ(queryItems(requests(estimatePath).last()).at(14).second, QStringLiteral("true"));

    click(book);
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
        const qsizetype before = requests(bookingPath).size();
        if (!c.markedWhileOpen)
            setMark();
        open(orderId);
        if (c.markedWhileOpen)
            setMark();

        click(book);

        EXPECT_EQ(messages.asked, QStringList{c.question});
        if (c.answer) {
            EXPECT_EQ(requests(bookingPath).size(), before + 1);
            EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
            EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_FALSE(boardHeld) << "the board refreshes again";
        } else {
            EXPECT_EQ(requests(bookingPath).size(), before);
            EXPECT_EQ(mark(orderId), stored);
            EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(u'|').toStdString();
            EXPECT_TRUE(dialog.isVisible()) << "answering Não leaves the dialog as it was";
            EXPECT_TRUE(boardHeld);
            dialog.close();
        }
    }
}

// An earlier post of this order may have reached the platform (the program was killed before its
// mark): the dialog asks before posting it again, as the alert's question does.
TEST_F(Dispatch, AnOrderWhosePostMayHaveArrivedIsBookedAgainOnlyWhenTheUserSaysSo)
{
    const QString number =
        t.db().query("SELECT IDPEDIDO FROM PEDIDOS WHERE ID = :ID", {{":ID", orderId}}).text(0, u"IDPEDIDO");
    for (const bool answer : {false, true}) {
        SCOPED_TRACE(answer ? "Sim" : "Não");
        DispatchClaim(t.db(), orderId).recordPosting();
        messages.shown.clear();
        messages.asked.clear();
        messages.yesNoAnswers = {answer};
        const qsizetype before = requests(bookingPath).size();
        open(orderId);

        click(book);

        EXPECT_EQ(messages.asked, QStringList{unknownOutcomeQuestion(number)});
        const bool recordLeft =
            t.db().hasRow("SELECT ID FROM SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", orderId}});
        if (answer) {
            EXPECT_EQ(requests(bookingPath).size(), before + 1);
            EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
            EXPECT_FALSE(recordLeft);
        } else {
            EXPECT_EQ(requests(bookingPath).size(), before);
            EXPECT_EQ(mark(orderId), QString());
            EXPECT_TRUE(recordLeft) << "still asked about by the alerts";
            EXPECT_TRUE(dialog.isVisible());
            dialog.close();
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
    click(book);
    EXPECT_EQ(messages.asked, (QStringList{despiteDelivered, anotherCourier}));
    EXPECT_TRUE(requests(bookingPath).isEmpty());
    EXPECT_TRUE(dialog.isVisible());
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
        TFEntrega raceDialog{CompanyStore(programDb),
                             OrderStore(programDb),
                             courierAt(platform.baseUrl()),
                             QStringLiteral("chave"),
                             messages,
                             clock,
                             &window};
        messages.dialog = &raceDialog;
        QPushButton *raceBook = raceDialog.findChild<QPushButton *>(QStringLiteral("Button4"));
        const auto bookings = [&] {
            qsizetype n = 0;
            for (const RecordedRequest &r : platform.requests())
                n += r.path == bookingPath;
            return n;
        };
        const MarketplaceCheck check(programDb, MarketplaceSettings{}, courierAt(platform.baseUrl()), clock);
        const auto automaticDispatch = [&] {
            SignedInEvents events;
            check.AbrirEntregaAgendarAutomatico(input, events);
        };

        t.db().execute("UPDATE PEDIDOS SET ID_MCH = NULL");
        messages.shown.clear();
        open(orderId, raceDialog);

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
            QTest::mouseClick(raceBook, Qt::LeftButton);
            worker.join();
            settle(raceDialog);
            EXPECT_EQ(messages.shown, QStringList{QStringLiteral("Entrega solicitada com sucesso!")});
        } else {
            std::thread worker(automaticDispatch);
            EXPECT_TRUE(eventually([&] { return bookings() == 1; }));
            QTest::mouseClick(raceBook, Qt::LeftButton);
            secondDone = true;
            worker.join();
            EXPECT_EQ(messages.shown,
                      QStringList{QStringLiteral("Este pedido já tem entregador solicitado.")});
        }
        releaser.join();

        EXPECT_EQ(bookings(), 1);
        EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
        EXPECT_FALSE(raceDialog.isVisible());
        messages.dialog = &dialog;
    }
}

TEST_F(Dispatch, AFailureToMarkAfterBookingClosesTheDialogSoTheCourierIsNotBookedTwice)
{
    t.db().execute("CREATE TRIGGER recusa BEFORE UPDATE OF ID_MCH ON PEDIDOS BEGIN "
                   "SELECT RAISE(ABORT, 'disco cheio'); END");
    open(orderId);
    click(book);
    EXPECT_EQ(requests(bookingPath).size(), 1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(QStringLiteral("disco cheio")));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(boardHeld) << "the board refreshes again";
}

TEST_F(Dispatch, TheWindowHasACloseBoxOnlyAFixedSizeAndOpensInTheMiddleOfTheScreen)
{
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    for (const Qt::WindowType hint :
         {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
        EXPECT_FALSE(flags.testFlag(hint)) << hint;

    // The main window in a corner, so that the middle of it is not the middle of the screen.
    window.resize(886, 565);
    window.move(0, 0);
    window.show();
    open(orderId);
    const QRect screen = window.screen()->availableGeometry();
    ASSERT_NE(window.frameGeometry().center(), screen.center());
    EXPECT_EQ(dialog.frameGeometry().center(), screen.center());
    EXPECT_EQ(dialog.size(), QSize(405, 393));
    // What the window manager is told: it may neither shrink nor grow the window.
    ASSERT_NE(dialog.windowHandle(), nullptr);
    EXPECT_EQ(dialog.windowHandle()->minimumSize(), QSize(405, 393));
    EXPECT_EQ(dialog.windowHandle()->maximumSize(), QSize(405, 393));
    EXPECT_EQ(dialog.windowHandle()->flags(), flags);

    // Moved aside and opened again: back in the middle.
    dialog.close();
    dialog.move(screen.topLeft());
    open(orderId);
    EXPECT_EQ(dialog.frameGeometry().center(), screen.center());
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
    returns->setCurrentText(QStringLiteral("Sim"));
    settle();
    QTest::qWait(20);
    const QString dir = QStringLiteral(BRISFOLD_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(dialog.grab().save(dir + QStringLiteral("/dispatch-dialog.png")));
    application->setStyleSheet(QString());
    application->setPalette(QPalette());
}

TEST_F(Dispatch, ABookingRunsBesideTheWindowAndTheProgramsEndStillWritesItsMark)
{
    HttpsFake platform;
    FakeReply slowBooking = FakeReply::json(R"({"response":{"id_mch":991}})");
    slowBooking.behaviour = FakeReply::Behaviour::HangBeforeReply;
    platform.setReply("POST", bookingPath, slowBooking);
    platform.setReply("GET", estimatePath, FakeReply::json(estimate("12.50")));
    auto ending = std::make_unique<TFEntrega>(CompanyStore(programDb), OrderStore(programDb),
                                              courierAt(platform.baseUrl()), QStringLiteral("chave"),
                                              messages, clock, &window);
    messages.dialog = ending.get();
    open(orderId, *ending);
    QPushButton *endingBook = ending->findChild<QPushButton *>(QStringLiteral("Button4"));
    QTest::mouseClick(endingBook, Qt::LeftButton);

    // The window's timers tick while the platform holds the booking; the dialog stays open, its
    // buttons off, and Escape does not hide the booking's outcome.
    int ticks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&ticks] { ++ticks; });
    probe.start(5);
    ASSERT_TRUE(waitFor([&] { return !platform.requests().isEmpty() && ticks >= 10; }));
    EXPECT_FALSE(endingBook->isEnabled());
    QTest::keyClick(ending.get(), Qt::Key_Escape);
    EXPECT_TRUE(ending->isVisible());

    // The program ends (the window and its dialog go) before the platform answers.
    std::thread answer([&platform] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        platform.release();
    });
    ending.reset();
    answer.join();
    EXPECT_EQ(mark(orderId), QStringLiteral("MACHINE"));
    messages.dialog = &dialog;
}
