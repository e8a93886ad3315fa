// Printing labels from the main window: the card's context menu, the automatic printing after a
// real check against the HTTPS fakes, the tray's choice of printer and the failures, with a
// recording printer in place of the system's.
#include "labels/LabelPrinting.h"

#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "common/HttpClient.h"
#include "marketplace/MarketplaceClient.h"
#include "store/PreferencesStore.h"
#include "support/FakeServices.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <mutex>

using namespace brisfold;
using namespace brisfold::test;

namespace {

// What the recording printers were asked, and how they answer; shared with the worker.
struct PrintLog
{
    std::mutex mutex;
    QStringList printed;     // IDPEDIDO of every label printed
    QStringList customers;   // its CLIENTE
    QStringList openedNames; // the printer name of every opening
    QList<QThread *> threads;
    // Set before printing; read on the worker.
    QString failure;
    bool anyInstalled = true;
    QStringList installed{QStringLiteral("Termica")};
    std::optional<QString> chosen;
    // While held, each print waits for a release.
    bool held = false;
    QSemaphore entered;
    QSemaphore release;

    QStringList printedNow()
    {
        std::lock_guard lock(mutex);
        return printed;
    }
};

class RecordingPrinter final : public LabelPrinter
{
public:
    RecordingPrinter(std::shared_ptr<PrintLog> log)
        : log_(std::move(log))
    {}

    QString print(const DeliveryLabel &label) override
    {
        bool held = false;
        {
            std::lock_guard lock(log_->mutex);
            held = log_->held;
        }
        if (held) {
            log_->entered.release();
            log_->release.tryAcquire(1, 10000);
        }
        std::lock_guard lock(log_->mutex);
        log_->threads.append(QThread::currentThread());
        if (!log_->failure.isEmpty())
            return log_->failure;
        log_->printed.append(label.IDPEDIDO);
        log_->customers.append(label.CLIENTE);
        return {};
    }

private:
    std::shared_ptr<PrintLog> log_;
};

class RecordingPrinters final : public LabelPrinters
{
public:
    explicit RecordingPrinters(std::shared_ptr<PrintLog> log)
        : log_(std::move(log))
    {}

    bool anyInstalled() const override
    {
        std::lock_guard lock(log_->mutex);
        return log_->anyInstalled;
    }
    bool installed(const QString &name) const override
    {
        std::lock_guard lock(log_->mutex);
        return log_->anyInstalled && (name.isEmpty() || log_->installed.contains(name));
    }
    std::unique_ptr<LabelPrinter> open(const QString &name) const override
    {
        std::lock_guard lock(log_->mutex);
        log_->openedNames.append(name);
        return std::make_unique<RecordingPrinter>(log_);
    }
    std::optional<QString> choose(QWidget *, const QString &) const override { return log_->chosen; }

private:
    std::shared_ptr<PrintLog> log_;
};

const QByteArray token = R"({"data":{"access_token":"tok","expires_in":3600}})";

class LabelPrintingTest : public ::testing::Test
{
protected:
    LabelPrintingTest()
    {
        h.db().execute("INSERT INTO EMPRESA (IDMACHINE, NOME, EMAIL, SENHA, LAT, LNG, STATUS) "
                       "VALUES ('5', 'Cantina', 'loja@exemplo.com.br', 'pw', '-23', '-51', 'A')");
        printing->setPrinters(std::make_unique<RecordingPrinters>(log));
    }

    qint64 addOrder(const QString &number, const QString &customer, int hoursAgo)
    {
        h.db().execute(
            "INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, ENDERECO, DATAHORA) VALUES (1, :N, :C, "
            "'Rua A, 1', strftime('%Y-%m-%d %H:%M:%S', 'now', :AGO))",
            {{":N", number}, {":C", customer}, {":AGO", QStringLiteral("-%1 hours").arg(hoursAgo)}});
        return h.db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
    }

    // The marketplace offers these orders, created now.
    void offerOrders(const QStringList &numbers)
    {
        const QByteArray now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        QByteArray search;
        for (const QString &number : numbers) {
            const QByteArray n = number.toUtf8();
            if (!search.isEmpty())
                search += ',';
            search += R"({"order_id":")" + n + R"(","created_at":")" + now +
                      R"(","is_read":true,"is_ready":false,"order_is_pickup":false})";
            marketplace.setReply(
                "GET", "/alfredo/orders/" + n,
                FakeReply::json(
                    R"({"data":{"is_ready":false,"is_pickup":false,"is_read":true,"is_cancelled":false,"is_delivered":false,)"
                    R"("created_at":")" +
                    now + R"(","user":{"name":"Cliente","surname":")" + n +
                    R"(","address":{"street_name":"R","number":"1","complement":"","reference":"","phone":"44",)"
                    R"("mobile_phone":"","city_name":"C","state_uf":"PR","latitude":"-23","longitude":"-51"}}}})"));
        }
        marketplace.setReply("GET", "/alfredo/orders/search", FakeReply::json("{\"data\":[" + search + "]}"));
    }

    bool runCheck()
    {
        h.db().execute("INSERT INTO CONFIGDELIVERY (ID, LOGIN, SENHA) VALUES (1, 'loja', 'pw')");
        marketplace.setReply("POST", "/alfredo/auth/token", FakeReply::json(token));
        h.form().show();
        h.signInFace();
        h.form().TimerDeliveryTimer();
        return waitFor([&] { return !h.form().checkRunning(); }, 15000);
    }

    bool waitForLabels()
    {
        return waitFor([&] { return !printing->isBusy(); });
    }

    QAction *action(const char *name) { return h.find<QAction>(name); }

    HttpsFake courier;
    HttpsFake marketplace;
    MainWindowHarness h{servicesAt(courier, marketplace)};
    LabelPrinting *printing = h.find<LabelPrinting>("LabelPrinting");
    std::shared_ptr<PrintLog> log = std::make_shared<PrintLog>();
};

} // namespace

TEST_F(LabelPrintingTest, ACheckThatStoresThreeOrdersPrintsTheirLabelsAfterItOnAWorker)
{
    QAction *printNew = action("TrayImprimirEtiquetas");
    EXPECT_EQ(printNew->text(), QStringLiteral("Imprimir etiqueta dos pedidos novos"));
    ASSERT_FALSE(printNew->isChecked()) << "off by default";
    printNew->setChecked(true);
    EXPECT_TRUE(PreferencesStore(h.db()).printNewOrders()) << "kept in PREFERENCIAS";
    // In the tray's menu, above the separator and "Sair".
    auto *trayMenu = qobject_cast<QMenu *>(printNew->associatedObjects().value(0));
    ASSERT_NE(trayMenu, nullptr);
    const QList<QAction *> entries = trayMenu->actions();
    ASSERT_GE(entries.size(), 4);
    EXPECT_LT(entries.indexOf(printNew), entries.size() - 2);
    EXPECT_TRUE(entries.at(entries.size() - 2)->isSeparator());
    EXPECT_EQ(entries.last()->objectName(), QStringLiteral("TraySair"));

    {
        std::lock_guard lock(log->mutex);
        log->held = true;
    }
    offerOrders({QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3")});
    ASSERT_TRUE(runCheck());

    // A probe on the UI thread while the first label is held in the printer.
    qint64 longestStall = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    probe.start(10);
    sinceTick.start();
    ASSERT_TRUE(waitFor([&] { return log->entered.available() > 0; })) << "printing began after the check";
    QTest::qWait(100);
    EXPECT_TRUE(log->printedNow().isEmpty());
    EXPECT_LT(longestStall, 1000) << "the UI thread waited on the printer";
    log->release.release(3);
    ASSERT_TRUE(waitForLabels());

    std::lock_guard lock(log->mutex);
    EXPECT_EQ(log->printed, (QStringList{QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3")}));
    EXPECT_EQ(log->customers.first(), QStringLiteral("Cliente M1"));
    EXPECT_EQ(log->openedNames, QStringList(3, QString())) << "the default printer";
    for (QThread *thread : log->threads)
        EXPECT_NE(thread, qApp->thread());
    EXPECT_TRUE(h.messages.shown.isEmpty()) << h.messages.shown.join(u'|').toStdString();
}

TEST_F(LabelPrintingTest, WithThePreferenceOffACheckPrintsNothing)
{
    offerOrders({QStringLiteral("M1"), QStringLiteral("M2")});
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(h.db().query("SELECT COUNT(*) AS N FROM PEDIDOS").integer(0, u"N"), 2);
    QApplication::processEvents();
    printing->waitForWorker();
    QApplication::processEvents();
    EXPECT_FALSE(printing->isBusy());
    EXPECT_TRUE(log->openedNames.isEmpty());
}

TEST_F(LabelPrintingTest, ARightClickMakesTheCardCurrentAndItsMenuPrintsThatOrder)
{
    addOrder(QStringLiteral("111"), QStringLiteral("Ana"), 2);
    addOrder(QStringLiteral("222"), QStringLiteral("Bia"), 1);
    h.signInFace();
    h.form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.form()));
    h.board().reopen();
    h.form().TimerPedidosTimer();
    QApplication::processEvents();

    auto *grid = h.find<OrderGrid>("DBCtrlGrid1");
    ASSERT_EQ(grid->model()->rowCount(), 2);
    const QModelIndex other = grid->model()->index(grid->currentIndex().row() == 0 ? 1 : 0, 0);
    const QPoint at = grid->visualRect(other).center();
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid->viewport(), &menuEvent);
    QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(grid->currentIndex(), other) << "the card became current first";

    auto *menu = h.find<QMenu>("CardMenu");
    ASSERT_TRUE(menu->isVisible());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Imprimir etiqueta"));
    const QString expected = h.board().currentOrder()->order.IDPEDIDO;
    menu->actions().first()->trigger();
    menu->hide();
    ASSERT_TRUE(waitForLabels());
    EXPECT_EQ(log->printedNow(), QStringList{expected});
    EXPECT_TRUE(h.messages.shown.isEmpty());
}

TEST_F(LabelPrintingTest, AFailedPrintIsReportedOnceNamingTheOrderAndLeavesTheOrderAlone)
{
    const qint64 id = addOrder(QStringLiteral("12345"), QStringLiteral("Ana"), 1);
    const auto row = [&] {
        const ResultSet r = h.db().query("SELECT * FROM PEDIDOS WHERE ID = :ID", {{":ID", id}});
        QStringList cells;
        for (const QString &column : r.columns())
            cells << r.text(0, column);
        return cells;
    };
    const QStringList before = row();
    log->failure = QStringLiteral("Papel esgotado");
    emit h.board().printLabelRequested(id, QStringLiteral("12345"));
    ASSERT_TRUE(waitForLabels());
    EXPECT_EQ(h.messages.shown,
              QStringList{QStringLiteral(
                  "Não foi possível imprimir a etiqueta do pedido aiqfome 12345: Papel esgotado")});
    EXPECT_EQ(row(), before);

    // An order deleted meanwhile is reported the same way.
    h.db().execute("DELETE FROM PEDIDOS WHERE ID = :ID", {{":ID", id}});
    emit h.board().printLabelRequested(id, QStringLiteral("12345"));
    ASSERT_TRUE(waitForLabels());
    ASSERT_EQ(h.messages.shown.size(), 2);
    EXPECT_TRUE(h.messages.shown.last().startsWith(
        QStringLiteral("Não foi possível imprimir a etiqueta do pedido aiqfome 12345: ")));
}

TEST_F(LabelPrintingTest, AChosenPrinterIsKeptAndWhenItHasGoneTheDefaultIsUsedSayingSoOnce)
{
    const qint64 id = addOrder(QStringLiteral("12345"), QStringLiteral("Ana"), 1);
    QAction *entry = action("TrayImpressora");
    EXPECT_EQ(entry->text(), QStringLiteral("Impressora…"));
    EXPECT_TRUE(entry->isEnabled());
    log->chosen = QStringLiteral("Termica");
    entry->trigger();
    EXPECT_EQ(PreferencesStore(h.db()).printerName(), QStringLiteral("Termica"));
    printing->printOrder(id, QStringLiteral("12345"));
    ASSERT_TRUE(waitForLabels());

    log->installed.clear();
    printing->printOrder(id, QStringLiteral("12345"));
    printing->printOrder(id, QStringLiteral("12345"));
    ASSERT_TRUE(waitForLabels());
    EXPECT_EQ(log->openedNames, (QStringList{QStringLiteral("Termica"), QString(), QString()}));
    EXPECT_EQ(log->printedNow().size(), 3);
    EXPECT_EQ(
        h.messages.shown,
        QStringList{QStringLiteral("A impressora Termica não está disponível; usando a impressora padrão.")});
}

TEST_F(LabelPrintingTest, WithoutAnyPrinterTheEntrySaysSoAndAutomaticPrintingReportsOnce)
{
    log->anyInstalled = false;
    printing->setPrinters(std::make_unique<RecordingPrinters>(log));
    QAction *entry = action("TrayImpressora");
    EXPECT_EQ(entry->text(), QStringLiteral("Impressora… (nenhuma instalada)"));
    EXPECT_FALSE(entry->isEnabled());

    addOrder(QStringLiteral("1"), QStringLiteral("Ana"), 1);
    addOrder(QStringLiteral("2"), QStringLiteral("Bia"), 1);
    action("TrayImprimirEtiquetas")->setChecked(true);
    for (int check = 0; check < 2; ++check) {
        printing->orderStored(StoredOrder{QStringLiteral("1"), QStringLiteral("Ana"), QString()});
        printing->orderStored(StoredOrder{QStringLiteral("2"), QStringLiteral("Bia"), QString()});
        EXPECT_FALSE(printing->isBusy()) << "nothing prints before the check ends";
        printing->checkEnded();
        ASSERT_TRUE(waitForLabels());
    }
    EXPECT_TRUE(log->openedNames.isEmpty());
    EXPECT_EQ(h.messages.shown.size(), 1) << h.messages.shown.join(u'|').toStdString();
}
