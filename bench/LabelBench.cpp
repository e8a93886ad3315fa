// The delivery label: one label rendered to a PDF file through the printer the program uses, and
// the resident memory a run of printed labels leaves behind.
#include "bench/BenchSupport.h"
#include "labels/DeliveryLabel.h"
#include "labels/LabelPrinter.h"
#include "labels/LabelRenderer.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace brisfold;

namespace {

DeliveryLabel sampleLabel()
{
    DeliveryLabel label;
    label.restaurantName = QStringLiteral("Cantina Bella");
    label.IDPEDIDO = QStringLiteral("12345");
    label.arrivalTime = QStringLiteral("05/03/2024 18:07:09");
    label.CLIENTE = QStringLiteral("Maria 😀 Silva");
    label.TELEFONE = QStringLiteral("(44) 99999-0000");
    label.ENDERECO =
        QStringLiteral("Rua São João, 12 \"fundos\", Apartamento 1203 Bloco B, Jardim das Américas, "
                       "próximo à padaria do Zé, Maringá - PR, 87000-000");
    label.ID_MCH = QStringLiteral("MACHINE");
    label.TAXAENTREGA = QStringLiteral("7,50");
    label.LATITUDE = QStringLiteral("-23.4205");
    label.LONGITUDE = QStringLiteral("-51.93310");
    return label;
}

// A figure of /proc/self/status in KiB (VmRSS, RssAnon), -1 where there is none.
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field) && line.at(int(qstrlen(field))) == ':')
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct Memory
{
    qint64 resident = statusKiB("VmRSS");
    qint64 anonymous = statusKiB("RssAnon"); // heap and stacks, without the pages of libraries
};

// Runs first, while the process has printed nothing. The first label loads what every later one
// reuses (the printing plugin and its libraries, the shipped fonts, the PDF writer's code);
// the labels after it must leave nothing behind.
void BM_LabelMemory(benchmark::State &state)
{
    const QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    const DeliveryLabel label = sampleLabel();
    // The program's windows have loaded the system's font list long before its first label.
    QFontDatabase::families();
    Memory before, first, after;
    for (auto _ : state) {
        before = Memory();
        for (int i = 0; i <= state.range(0); ++i) {
            if (!SystemLabelPrinter::pdfFile(pdf).print(label).isEmpty()) {
                state.SkipWithError("the label was not printed");
                break;
            }
            if (i == 0)
                first = Memory();
        }
        after = Memory();
    }
    state.counters["labels_after_first"] = double(state.range(0));
    state.counters["rss_before_kib"] = double(before.resident);
    state.counters["first_label_rss_kib"] = double(first.resident - before.resident);
    state.counters["first_label_anon_kib"] = double(first.anonymous - before.anonymous);
    state.counters["rss_after_kib"] = double(after.resident);
    state.counters["growth_rss_kib"] = double(after.resident - first.resident);
    state.counters["growth_anon_kib"] = double(after.anonymous - first.anonymous);
}
BENCHMARK(BM_LabelMemory)->Arg(20)->Arg(500)->Iterations(1)->Unit(benchmark::kMillisecond);

// One label, as the printer prints it: laid out, QR code encoded, written to a PDF file.
void BM_LabelPdf(benchmark::State &state)
{
    const QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    const DeliveryLabel label = sampleLabel();
    SystemLabelPrinter printer = SystemLabelPrinter::pdfFile(pdf, int(state.range(0)));
    for (auto _ : state) {
        if (!printer.print(label).isEmpty())
            state.SkipWithError("the label was not printed");
    }
}
BENCHMARK(BM_LabelPdf)->Arg(receiptPaper80mm)->Arg(receiptPaper58mm)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No widgets: the label needs only fonts and the printing engine.
    QGuiApplication application(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
