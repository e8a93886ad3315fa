// The board's refresh tick beside a bare prepared SELECT of the same rows, and one repaint of
// the card grid.
#include "bench/BenchSupport.h"
#include "board/BoardQuery.h"
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "store/Database.h"
#include "ui/ImageCollection.h"
#include "ui/MessageBoxes.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <sqlite3.h>

using namespace brisfold;
using namespace brisfold::bench;

namespace {

// Records nothing: a message box would stop the run.
// One folder per order count, filled once for the whole run.
const BenchFolder &folderWith(int orders)
{
    static std::map<int, std::unique_ptr<BenchFolder>> folders;
    auto &folder = folders[orders];
    if (!folder) {
        folder = std::make_unique<BenchFolder>();
        addOrders(folder->databasePath(), orders);
    }
    return *folder;
}

// The reference: the board's own statement, prepared once, every row stepped and every column
// read as the engine gives it, the rows counted and the remembered order looked for.
void BM_BareSelect(benchmark::State &state)
{
    const BenchFolder &folder = folderWith(int(state.range(0)));
    sqlite3 *db = nullptr;
    sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, FDQueryPedidosSql, -1, &statement, nullptr);
    const int columns = sqlite3_column_count(statement);
    const sqlite3_int64 remembered = 100000 + state.range(0) / 2;
    for (auto _ : state) {
        int rows = 0, found = -1;
        size_t bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            if (sqlite3_column_int64(statement, 0) == remembered)
                found = rows;
            for (int c = 1; c < columns; ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
                bytes += size_t(sqlite3_column_bytes(statement, c));
            }
            ++rows;
        }
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(found);
        if (rows != state.range(0))
            state.SkipWithError("wrong row count");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}
BENCHMARK(BM_BareSelect)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The data part of the tick, as `TimerPedidosTimer` does it: query, read every row, count,
// count line, locate the current order.
void BM_TickData(benchmark::State &state)
{
    const BenchFolder &folder = folderWith(int(state.range(0)));
    Database db;
    db.open(folder.databasePath());
    const qint64 remembered = state.range(0) / 2;
    for (auto _ : state) {
        std::vector<OrderRow> rows = readOrderRows(db);
        const int count = int(rows.size());
        QString line = countLineText(count);
        const auto found = std::find_if(rows.begin(), rows.end(),
                                        [remembered](const OrderRow &row) { return row.ID == remembered; });
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(line);
        if (count != state.range(0))
            state.SkipWithError("wrong row count");
    }
}
BENCHMARK(BM_TickData)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The board's parts as the main window lays them out: count line over a grid four cards high.
struct BoardHarness
{
    explicit BoardHarness(const QString &databasePath)
    {
        db.open(databasePath);
        auto *column = new QVBoxLayout(&panel);
        countLine = new QLabel(QStringLiteral("PEDIDOS"), &panel);
        column->addWidget(countLine);
        board = std::make_unique<OrderBoard>(
            db, countLine, [] { return true; }, [] { return false; }, messages, images, &panel);
        board->grid()->setFixedHeight(OrderGrid::visibleCards * 75);
        column->addWidget(board->grid());
        panel.resize(900, panel.sizeHint().height());
        panel.show();
        board->reopen();
        board->TimerPedidosTimer();
        QApplication::processEvents();
    }

    Database db;
    SilentMessages messages;
    ImageCollection images;
    QWidget panel;
    QLabel *countLine = nullptr;
    std::unique_ptr<OrderBoard> board;
};

// The whole tick: the data part plus the model reset, the layout and the current card.
void BM_Tick(benchmark::State &state)
{
    BoardHarness harness(folderWith(int(state.range(0))).databasePath());
    for (auto _ : state)
        harness.board->TimerPedidosTimer();
    harness.board->pause();
}
BENCHMARK(BM_Tick)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One full repaint of the grid showing four cards, warm: the pictures are already cached.
void BM_Repaint(benchmark::State &state)
{
    BoardHarness harness(folderWith(int(state.range(0))).databasePath());
    OrderGrid *grid = harness.board->grid();
    QImage image(grid->size(), QImage::Format_ARGB32_Premultiplied);
    grid->render(&image);
    for (auto _ : state) {
        grid->render(&image);
        benchmark::ClobberMemory();
    }
    harness.board->pause();
}
BENCHMARK(BM_Repaint)->Arg(4)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    applyTabletDark(application);
    return runBenchmarks(argc, argv);
}
