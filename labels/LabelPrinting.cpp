#include "labels/LabelPrinting.h"

#include "labels/DeliveryLabel.h"
#include "marketplace/MarketplaceClient.h"
#include "store/Database.h"
#include "store/PreferencesStore.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>
#include <exception>

namespace brisfold {

namespace {

// The marketplace's number in PEDIDOS.ORIGEM.
constexpr qint64 aiqfomeOrigin = 1;

const QString printerEntry = QStringLiteral("Impressora…");

QString failureText(const QString &IDPEDIDO, const QString &reason)
{
    return QStringLiteral("Não foi possível imprimir a etiqueta do pedido aiqfome %1: %2")
        .arg(IDPEDIDO, reason);
}

template <typename T, typename Read> T preference(Database &db, Read read, T fallback)
{
    try {
        return read(PreferencesStore(db));
    } catch (const DatabaseError &) {
        return fallback;
    }
}

} // namespace

bool LabelPrinters::anyInstalled() const
{
    return anyPrinterInstalled();
}

bool LabelPrinters::installed(const QString &printerName) const
{
    return printerInstalled(printerName);
}

std::unique_ptr<LabelPrinter> LabelPrinters::open(const QString &printerName) const
{
    return std::make_unique<SystemLabelPrinter>(SystemLabelPrinter::named(printerName));
}

std::optional<QString> LabelPrinters::choose(QWidget *parent, const QString &current) const
{
    const QPrinterInfo info =
        current.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(current);
    QPrinter printer(info);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Impressora das etiquetas"));
    // Only the printer is chosen here; every label is one page.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return printer.printerName();
}

LabelPrinting::LabelPrinting(Database &db, MessageBoxes &messages, QMenu &trayMenu, QAction *before,
                             QWidget &window, std::unique_ptr<LabelPrinters> printers, QObject *parent)
    : QObject(parent)
    , db_(db)
    , messages_(messages)
    , window_(window)
    , printers_(std::move(printers))
    , printNew_(new QAction(QStringLiteral("Imprimir etiqueta dos pedidos novos"), this))
    , printerEntry_(new QAction(printerEntry, this))
{
    setObjectName(QStringLiteral("LabelPrinting"));
    worker_.setMaxThreadCount(1);
    printerName_ = preference<QString>(db_, [](const PreferencesStore &p) { return p.printerName(); }, {});

    printNew_->setObjectName(QStringLiteral("TrayImprimirEtiquetas"));
    printNew_->setCheckable(true);
    printNew_->setChecked(preference<bool>(
        db_, [](const PreferencesStore &p) { return p.printNewOrders(); }, false));
    connect(printNew_, &QAction::toggled, this, &LabelPrinting::setPrintNewOrders);
    printerEntry_->setObjectName(QStringLiteral("TrayImpressora"));
    connect(printerEntry_, &QAction::triggered, this, &LabelPrinting::choosePrinter);
    trayMenu.insertAction(before, printNew_);
    trayMenu.insertAction(before, printerEntry_);
    // A printer added or removed since shows the next time the menu opens.
    connect(&trayMenu, &QMenu::aboutToShow, this, &LabelPrinting::updatePrinterEntry);
    // Also loads Qt's printing plugin here, before the worker uses it.
    updatePrinterEntry();
}

LabelPrinting::~LabelPrinting()
{
    worker_.waitForDone();
}

void LabelPrinting::setPrinters(std::unique_ptr<LabelPrinters> printers)
{
    worker_.waitForDone();
    printers_ = std::move(printers);
    updatePrinterEntry();
}

void LabelPrinting::waitForWorker()
{
    worker_.waitForDone();
}

QString LabelPrinting::printerEntryText() const
{
    return printerEntry_->text();
}

void LabelPrinting::printOrder(qint64 orderId, const QString &IDPEDIDO)
{
    enqueue({orderId, IDPEDIDO, false});
}

void LabelPrinting::orderStored(const StoredOrder &order)
{
    if (printNew_->isChecked())
        storedDuringCheck_.append(order.IDPEDIDO);
}

void LabelPrinting::checkEnded()
{
    const QStringList stored = std::exchange(storedDuringCheck_, {});
    for (const QString &IDPEDIDO : stored)
        enqueue({0, IDPEDIDO, true});
}

void LabelPrinting::enqueue(Job job)
{
    ++pending_;
    // Read here, on the UI thread: the locale and the preference as they stand now.
    worker_.start(
        [this, job = std::move(job), name = printerName_, separators = RegionalSeparators::system()] {
            const Outcome outcome = run(job, name, separators);
            // Queued to this object: dropped if it is gone by then.
            QMetaObject::invokeMethod(
                this, [this, outcome] { report(outcome); }, Qt::QueuedConnection);
        });
}

LabelPrinting::Outcome LabelPrinting::run(const Job &job, const QString &printerName,
                                          RegionalSeparators separators) const
{
    Outcome outcome{job.IDPEDIDO, job.automatic, false, false, {}, {}};
    try {
        qint64 orderId = job.orderId;
        if (orderId == 0) {
            const ResultSet rows = db_.query("SELECT ID FROM PEDIDOS WHERE ORIGEM = :ORIGEM AND IDPEDIDO = "
                                             ":IDPEDIDO ORDER BY ID DESC LIMIT 1",
                                             {{":ORIGEM", aiqfomeOrigin}, {":IDPEDIDO", job.IDPEDIDO}});
            orderId = rows.isEmpty() ? 0 : rows.integer(0, u"ID");
        }
        const std::optional<DeliveryLabel> label =
            orderId == 0 ? std::nullopt : readDeliveryLabel(db_, orderId, separators);
        if (!label) {
            outcome.error = QStringLiteral("o pedido não está mais gravado.");
            return outcome;
        }
        outcome.IDPEDIDO = label->IDPEDIDO;
        if (!printers_->anyInstalled()) {
            outcome.noPrinter = true;
            outcome.error = QStringLiteral("nenhuma impressora está instalada.");
            return outcome;
        }
        outcome.printerFound = true;
        QString name = printerName;
        if (!name.isEmpty() && !printers_->installed(name)) {
            outcome.missingPrinter = name;
            name.clear();
        }
        outcome.error = printers_->open(name)->print(*label);
    } catch (const std::exception &e) {
        outcome.error = QString::fromUtf8(e.what());
    }
    return outcome;
}

void LabelPrinting::report(const Outcome &outcome)
{
    --pending_;
    if (!outcome.missingPrinter.isEmpty() && !missingReported_.contains(outcome.missingPrinter)) {
        missingReported_.insert(outcome.missingPrinter);
        messages_.showMessage(&window_,
                              QStringLiteral("A impressora %1 não está disponível; usando a impressora "
                                             "padrão.")
                                  .arg(outcome.missingPrinter));
    }
    if (outcome.noPrinter && outcome.automatic) {
        // Every new order would say the same: once, until a printer is seen again.
        if (!noPrinterReported_) {
            noPrinterReported_ = true;
            messages_.showMessage(&window_,
                                  QStringLiteral("Nenhuma impressora está instalada: as etiquetas dos "
                                                 "pedidos novos não serão impressas."));
        }
    } else {
        if (outcome.printerFound)
            noPrinterReported_ = false;
        if (!outcome.error.isEmpty())
            messages_.showMessage(&window_, failureText(outcome.IDPEDIDO, outcome.error));
    }
    emit labelHandled();
}

void LabelPrinting::updatePrinterEntry()
{
    const bool any = printers_->anyInstalled();
    printerEntry_->setEnabled(any);
    printerEntry_->setText(any ? printerEntry : printerEntry + QStringLiteral(" (nenhuma instalada)"));
}

void LabelPrinting::choosePrinter()
{
    const std::optional<QString> chosen = printers_->choose(&window_, printerName_);
    if (!chosen || *chosen == printerName_)
        return;
    printerName_ = *chosen;
    missingReported_.remove(printerName_);
    try {
        PreferencesStore(db_).setPrinterName(printerName_);
    } catch (const DatabaseError &e) {
        messages_.showMessage(&window_, e.text());
    }
}

void LabelPrinting::setPrintNewOrders(bool on)
{
    try {
        PreferencesStore(db_).setPrintNewOrders(on);
    } catch (const DatabaseError &e) {
        messages_.showMessage(&window_, e.text());
    }
}

} // namespace brisfold
