#pragma once

#include "labels/DeliveryLabel.h"
#include "labels/LabelRenderer.h"

#include <QString>
#include <utility>

namespace brisfold {

// Prints one delivery label.
class LabelPrinter
{
public:
    virtual ~LabelPrinter() = default;
    // Empty on success, otherwise the reason the label was not printed.
    virtual QString print(const DeliveryLabel &label) = 0;
};

// A printer of the system, or a PDF file, through QPrinter. Needs no window, so it can print on
// a worker thread, two at once too; each call opens the printer anew, so a printer added or
// removed since is seen. Qt loads its printing plugin without a lock: code that uses QPrinter or
// QPrinterInfo elsewhere on another thread should have called anyPrinterInstalled() first.
class SystemLabelPrinter final : public LabelPrinter
{
public:
    // The printer named `printerName`; the system's default one when the name is empty.
    static SystemLabelPrinter named(const QString &printerName, int paperWidthMm = receiptPaper80mm);
    // A PDF file at `path`, overwritten by every label.
    static SystemLabelPrinter pdfFile(const QString &path, int paperWidthMm = receiptPaper80mm);

    QString print(const DeliveryLabel &label) override;

private:
    SystemLabelPrinter(QString printerName, QString pdfPath, int paperWidthMm)
        : printerName_(std::move(printerName))
        , pdfPath_(std::move(pdfPath))
        , paperWidthMm_(paperWidthMm)
    {}

    QString printerName_;
    QString pdfPath_;
    int paperWidthMm_;
};

// Whether the system has any printer at all.
bool anyPrinterInstalled();
// Whether the printer named `printerName` is still installed; for an empty name, whether the
// system has a default printer.
bool printerInstalled(const QString &printerName);

} // namespace brisfold
