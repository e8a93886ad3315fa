#include "labels/LabelPrinter.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <memory>

namespace brisfold {

namespace {

// Qt loads its printing plugin on first use without a lock; loading it here once keeps two
// threads that print at the same moment from loading it twice.
void loadPrintingSupport()
{
    static const bool loaded = [] {
        QPrinterInfo::defaultPrinterName();
        return true;
    }();
    Q_UNUSED(loaded);
}

} // namespace

SystemLabelPrinter SystemLabelPrinter::named(const QString &printerName, int paperWidthMm)
{
    return SystemLabelPrinter(printerName, QString(), paperWidthMm);
}

SystemLabelPrinter SystemLabelPrinter::pdfFile(const QString &path, int paperWidthMm)
{
    return SystemLabelPrinter(QString(), path, paperWidthMm);
}

QString SystemLabelPrinter::print(const DeliveryLabel &label)
{
    loadPrintingSupport();
    std::unique_ptr<QPrinter> printer;
    if (!pdfPath_.isEmpty()) {
        // QPrinter keeps the reason to itself; opening the file first gives the system's.
        QFile file(pdfPath_);
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                .arg(pdfPath_, file.errorString());
        file.close();
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath_);
    } else {
        const QPrinterInfo info =
            printerName_.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printerName_);
        if (info.isNull()) {
            return printerName_.isEmpty()
                       ? QStringLiteral("Nenhuma impressora padrão está configurada.")
                       : QStringLiteral("A impressora \"%1\" não foi encontrada.").arg(printerName_);
        }
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    printer->setDocName(orderLineText(label));
    printer->setCreator(QStringLiteral("Brisfold"));
    // The label's coordinates start at the paper's corner, whatever margins the printer wants.
    printer->setFullPage(true);
    printer->setColorMode(QPrinter::GrayScale);
    const QString error = renderLabel(*printer, label, paperWidthMm_);
    if (!error.isEmpty())
        return printer->printerName().isEmpty() ? error
                                                : printer->printerName() + QStringLiteral(": ") + error;
    if (printer->printerState() == QPrinter::Error)
        return QStringLiteral("A impressora \"%1\" recusou a etiqueta.").arg(printer->printerName());
    return {};
}

bool anyPrinterInstalled()
{
    loadPrintingSupport();
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool printerInstalled(const QString &printerName)
{
    loadPrintingSupport();
    if (printerName.isEmpty())
        return !QPrinterInfo::defaultPrinterName().isEmpty();
    return QPrinterInfo::availablePrinterNames().contains(printerName);
}

} // namespace brisfold
