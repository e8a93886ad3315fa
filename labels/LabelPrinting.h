#pragma once

#include "courier/Schedule.h"
#include "labels/LabelPrinter.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace brisfold {

class Database;
class MessageBoxes;
struct StoredOrder;

// The system's printers as the labels use them. Every call but choose() may come from the
// printing worker.
class LabelPrinters
{
public:
    virtual ~LabelPrinters() = default;
    virtual bool anyInstalled() const;
    // For an empty name, whether there is a default printer.
    virtual bool installed(const QString &printerName) const;
    // The printer of that name; the default one for an empty name.
    virtual std::unique_ptr<LabelPrinter> open(const QString &printerName) const;
    // The system's print dialog; the printer chosen, none when cancelled.
    virtual std::optional<QString> choose(QWidget *parent, const QString &current) const;
};

// Prints delivery labels from the program: the card's "Imprimir etiqueta", the labels of the
// orders a check stores when the tray's "Imprimir etiqueta dos pedidos novos" is on, and the
// tray's choice of printer. The labels are read and printed one at a time on a worker, so a
// slow printer never holds up the window; a label that does not print is reported once.
class LabelPrinting final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LabelPrinting)

public:
    // Adds its entries to `trayMenu` above `before`; `window` parents the boxes and dialogs.
    LabelPrinting(Database &db, MessageBoxes &messages, QMenu &trayMenu, QAction *before, QWidget &window,
                  std::unique_ptr<LabelPrinters> printers = std::make_unique<LabelPrinters>(),
                  QObject *parent = nullptr);
    // Waits for the label being printed.
    ~LabelPrinting() override;

    // For tests: printers of their own. Waits for the labels queued so far first.
    void setPrinters(std::unique_ptr<LabelPrinters> printers);
    // Blocks until every queued label has been handled by the worker (not yet reported).
    void waitForWorker();
    bool isBusy() const { return pending_ > 0; }

    // The order's label, now.
    void printOrder(qint64 orderId, const QString &IDPEDIDO);
    // For the automatic printing: remembered while the check runs, printed when it ends.
    void orderStored(const StoredOrder &order);
    void checkEnded();

    // The text of the tray's printer entry, as it stands.
    QString printerEntryText() const;

signals:
    // After a queued label has been printed or reported.
    void labelHandled();

private:
    struct Job
    {
        qint64 orderId = 0; // 0: found by IDPEDIDO
        QString IDPEDIDO;
        bool automatic = false;
    };
    struct Outcome
    {
        QString IDPEDIDO;
        bool automatic = false;
        bool noPrinter = false;
        bool printerFound = false;
        QString missingPrinter; // the chosen printer, gone, when the default one was used
        QString error;          // empty when printed
    };

    void enqueue(Job job);
    Outcome run(const Job &job, const QString &printerName, RegionalSeparators separators) const;
    void report(const Outcome &outcome);
    void updatePrinterEntry();
    void choosePrinter();
    void setPrintNewOrders(bool on);

    Database &db_;
    MessageBoxes &messages_;
    QWidget &window_;
    std::unique_ptr<LabelPrinters> printers_;
    QAction *printNew_;
    QAction *printerEntry_;
    QString printerName_;
    QStringList storedDuringCheck_;
    QSet<QString> missingReported_;
    bool noPrinterReported_ = false;
    int pending_ = 0;
    // One thread, so the labels come out in the order they were asked for.
    QThreadPool worker_;
};

} // namespace brisfold
