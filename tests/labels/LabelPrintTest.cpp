// Labels printed to PDF and read back as a person and a phone would: the text through pdftotext,
// the QR code through zbarimg on a 300 dpi picture of the page.
#include "labels/DeliveryLabel.h"
#include "labels/LabelPrinter.h"
#include "labels/LabelRenderer.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QImage>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace brisfold;

namespace {

const QString longAddress = QStringLiteral(
    "Rua São João, 12 \"fundos\", Apartamento 1203 Bloco B, Jardim das Américas, próximo à padaria do "
    "Zé, portão azul com interfone quebrado, Maringá - PR, 87000-000");

DeliveryLabel sampleLabel()
{
    DeliveryLabel label;
    label.restaurantName = QStringLiteral("Cantina Bella");
    label.IDPEDIDO = QStringLiteral("12345");
    label.arrivalTime = QStringLiteral("05/03/2024 18:07:09");
    label.CLIENTE = QStringLiteral("Maria 😀 Silva");
    label.TELEFONE = QStringLiteral("(44) 99999-0000");
    label.ENDERECO = longAddress;
    label.ID_MCH = QStringLiteral("MACHINE");
    label.TAXAENTREGA = QStringLiteral("7,50");
    label.LATITUDE = QStringLiteral("-23.4205");
    label.LONGITUDE = QStringLiteral("-51.93310");
    return label;
}

struct Output
{
    int exitCode = -1;
    QString text;
};

Output run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

// The page's text with every run of blanks and line breaks as one blank.
QString pdfText(const QString &pdf)
{
    const Output out = run(QStringLiteral("pdftotext"),
                           {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    EXPECT_EQ(out.exitCode, 0);
    return out.text.simplified();
}

// The page as a 300 dpi picture beside the PDF.
QString pngOf(const QString &pdf)
{
    QString base = pdf;
    base.chop(4);
    EXPECT_EQ(
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, base})
            .exitCode,
        0);
    return base + QStringLiteral(".png");
}

// Every QR code zbarimg finds in the picture, decoded.
QStringList qrCodesIn(const QString &png)
{
    const Output out =
        run(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"), png});
    // 0: found, 4: nothing found.
    EXPECT_TRUE(out.exitCode == 0 || out.exitCode == 4) << out.exitCode;
    return out.text.split(u'\n', Qt::SkipEmptyParts);
}

// The width in millimetres of the block of dark pixels at the foot of a 300 dpi picture of the
// label, where the QR code is: rows belong to it until a blank gap wider than two modules.
double qrCodeWidthMm(const QString &png)
{
    const QImage image = QImage(png).convertToFormat(QImage::Format_Grayscale8);
    const int largestGap = 30; // 2.5 mm at 300 dpi
    int left = image.width(), right = -1, gap = 0;
    for (int y = image.height() - 1; y >= 0 && gap <= largestGap; --y) {
        const uchar *row = image.constScanLine(y);
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] < 128) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first < 0) {
            gap += right >= 0 ? 1 : 0;
            continue;
        }
        gap = 0;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    return right < 0 ? 0 : (right - left + 1) * 25.4 / 300;
}

// The page's width and height in millimetres, from pdfinfo.
QSizeF pageSizeMm(const QString &pdf)
{
    const Output out = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(out.text);
    EXPECT_TRUE(size.hasMatch()) << out.text.toStdString();
    return QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble()) * 25.4 / 72;
}

// The names of the fonts embedded in the PDF.
QStringList fontsIn(const QString &pdf)
{
    const QStringList lines = run(QStringLiteral("pdffonts"), {pdf}).text.split(u'\n', Qt::SkipEmptyParts);
    QStringList names;
    for (const QString &line : lines.mid(2))
        names << line.section(u' ', 0, 0);
    return names;
}

QString mapLinkOf(const DeliveryLabel &label)
{
    return mapLink(label.LATITUDE, label.LONGITUDE).value_or(QString());
}

class LabelPrint : public ::testing::TestWithParam<int>
{
protected:
    QString print(const DeliveryLabel &label, const QString &name, int widthMm)
    {
        const QString pdf = dir.filePath(name);
        EXPECT_EQ(SystemLabelPrinter::pdfFile(pdf, widthMm).print(label), QString());
        return pdf;
    }

    QTemporaryDir dir;
};

// Everything a courier needs, on both paper widths, left as a picture for a person to look at.
TEST_P(LabelPrint, PrintsEveryPartReadably)
{
    const int widthMm = GetParam();
    const QDir screenshots(QStringLiteral(BRISFOLD_SCREENSHOT_DIR));
    ASSERT_TRUE(screenshots.mkpath(QStringLiteral(".")));
    const QString pdf = screenshots.filePath(QStringLiteral("label-%1mm.pdf").arg(widthMm));
    const DeliveryLabel label = sampleLabel();
    ASSERT_EQ(SystemLabelPrinter::pdfFile(pdf, widthMm).print(label), QString());

    const QString text = pdfText(pdf);
    for (const QString &expected : {QStringLiteral("Cantina Bella"), QStringLiteral("aiqfome 12345"),
                                    QStringLiteral("05/03/2024 18:07:09"), QStringLiteral("Maria Silva"),
                                    QStringLiteral("(44) 99999-0000"), longAddress,
                                    QStringLiteral("Entregador solicitado"), QStringLiteral("R$ 7,50")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\nin: " << text.toStdString();
    // The pictograph left out, not drawn as a box or a replacement character.
    EXPECT_FALSE(text.contains(QStringLiteral("😀")));
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    EXPECT_FALSE(text.contains(QChar(0x25A1)));
    // Only the shipped font, so no other font stood in for a character it lacks.
    for (const QString &font : fontsIn(pdf))
        EXPECT_TRUE(font.contains(QStringLiteral("DejaVuSans"))) << font.toStdString();

    const QSizeF page = pageSizeMm(pdf);
    EXPECT_NEAR(page.width(), widthMm, 0.2);

    const QString png = pngOf(pdf);
    EXPECT_EQ(qrCodesIn(png), QStringList{mapLinkOf(label)});
    EXPECT_GE(qrCodeWidthMm(png), 30);
}

INSTANTIATE_TEST_SUITE_P(PaperWidths, LabelPrint, ::testing::Values(receiptPaper80mm, receiptPaper58mm),
                         [](const auto &info) { return std::to_string(info.param) + "mm"; });

TEST_F(LabelPrint, WithoutUsableCoordinatesThereIsNoQrCode)
{
    for (const auto &[lat, lng] : {std::pair{"", "-51.93"}, std::pair{"-23.42", "perto do mercado"}}) {
        DeliveryLabel label = sampleLabel();
        label.LATITUDE = QString::fromUtf8(lat);
        label.LONGITUDE = QString::fromUtf8(lng);
        label.ID_MCH.clear();
        label.TAXAENTREGA.clear();
        label.arrivalTime.clear();
        const QString pdf = print(label, QStringLiteral("plain.pdf"), receiptPaper80mm);
        EXPECT_TRUE(qrCodesIn(pngOf(pdf)).isEmpty()) << lat << ' ' << lng;
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains(longAddress));
        EXPECT_TRUE(text.contains(QStringLiteral("Aguardando entregador")));
        // No estimate, no fee line; no time, no time line.
        EXPECT_FALSE(text.contains(QStringLiteral("R$")));
        EXPECT_FALSE(text.contains(QStringLiteral("2024")));
    }
}

TEST_F(LabelPrint, CourierStateLineFollowsTheMark)
{
    DeliveryLabel label = sampleLabel();
    label.ID_MCH = QStringLiteral("JA ENTREGUE");
    EXPECT_TRUE(pdfText(print(label, QStringLiteral("delivered.pdf"), receiptPaper58mm))
                    .contains(QStringLiteral("Já entregue")));
}

// A word wider than the paper is broken, never cut off, and the page grows with the content.
TEST_F(LabelPrint, LongTextsWrapAndThePageFitsThem)
{
    DeliveryLabel label = sampleLabel();
    const QString word = QStringLiteral("Travessa") + QString(60, u'X') + QStringLiteral("Fim");
    label.ENDERECO = word + QStringLiteral(" ") + longAddress + QStringLiteral(" ") + longAddress;
    label.IDPEDIDO = QStringLiteral("1234567890123456789012345");

    auto render = [this](const DeliveryLabel &l, const QString &name) {
        const QString pdf = dir.filePath(name);
        QPdfWriter writer(pdf);
        EXPECT_EQ(renderLabel(writer, l, receiptPaper58mm), QString());
        return pdf;
    };
    const QString longPdf = render(label, QStringLiteral("long.pdf"));
    const QString shortPdf = render(sampleLabel(), QStringLiteral("short.pdf"));

    QString compact = pdfText(longPdf);
    compact.remove(u' ');
    for (const QString &expected : {word, label.IDPEDIDO, QString(longAddress).remove(u' ')})
        EXPECT_TRUE(compact.contains(expected)) << expected.toStdString();
    EXPECT_GT(pageSizeMm(longPdf).height(), pageSizeMm(shortPdf).height() + 20);
    EXPECT_NEAR(pageSizeMm(longPdf).width(), receiptPaper58mm, 0.2);
}

// Two workers at once, as a label printed while the first one is still printing.
TEST_F(LabelPrint, PrintsOnWorkerThreads)
{
    const QString pdfs[] = {dir.filePath(QStringLiteral("worker1.pdf")),
                            dir.filePath(QStringLiteral("worker2.pdf"))};
    QString results[] = {QStringLiteral("not run"), QStringLiteral("not run")};
    {
        std::thread first([&] { results[0] = SystemLabelPrinter::pdfFile(pdfs[0]).print(sampleLabel()); });
        std::thread second([&] {
            results[1] = SystemLabelPrinter::pdfFile(pdfs[1], receiptPaper58mm).print(sampleLabel());
        });
        first.join();
        second.join();
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(results[i], QString());
        EXPECT_TRUE(pdfText(pdfs[i]).contains(QStringLiteral("aiqfome 12345")));
    }
}

TEST_F(LabelPrint, GivesTheReasonWhenItCannotPrint)
{
    const QString missing = dir.filePath(QStringLiteral("no-such-folder/label.pdf"));
    const QString reason = SystemLabelPrinter::pdfFile(missing).print(sampleLabel());
    EXPECT_TRUE(reason.contains(missing)) << reason.toStdString();

    const QString name = QStringLiteral("Brisfold test printer that does not exist");
    EXPECT_EQ(SystemLabelPrinter::named(name).print(sampleLabel()),
              QStringLiteral("A impressora \"%1\" não foi encontrada.").arg(name));
    EXPECT_FALSE(printerInstalled(name));
}

} // namespace
