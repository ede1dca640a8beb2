// The data grid over a table of a million word rows: binding, scrolling page
// by page, jumping to the end, and moving the current row, measured with
// Google Benchmark on the offscreen platform.

#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "table/DataSource.h"
#include "table/RecordTable.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace kf;

namespace {

const int kRows = qEnvironmentVariableIntValue("KF_BENCH_ROWS") > 0 ? qEnvironmentVariableIntValue("KF_BENCH_ROWS") : 1000000;

TRecordTable &bigTable()
{
    static std::unique_ptr<TRecordTable> t = [] {
        auto table = std::make_unique<TRecordTable>(std::vector<TFieldDef>{
            {"Word", TFieldType::String, 40}, {"Count", TFieldType::Integer}, {"Len", TFieldType::Integer}});
        table->SetLogChanges(false);
        table->DisableControls();
        for (int i = 0; i < kRows; ++i) {
            const std::string w = "w" + std::to_string(int64_t(i) * 7919 % kRows);
            table->AppendRecord({w, i % 1000, int32_t(w.size())});
        }
        table->EnableControls();
        table->SetIndexFieldNames("Word");
        table->First();
        return table;
    }();
    return *t;
}

// Renders the visible cells, as a screen update would.
void paint(TDBGrid &grid)
{
    benchmark::DoNotOptimize(grid.viewport()->grab());
}

void BM_BindAndShow(benchmark::State &state)
{
    TRecordTable &t = bigTable();
    TDataSource source(&t);
    for (auto _ : state) {
        TDBGrid grid;
        grid.resize(600, 400);
        grid.SetDataSource(&source);
        grid.show();
        paint(grid);
        benchmark::DoNotOptimize(grid.model()->rowCount());
    }
}
BENCHMARK(BM_BindAndShow)->Unit(benchmark::kMillisecond);

void BM_ScrollOnePage(benchmark::State &state)
{
    TRecordTable &t = bigTable();
    TDataSource source(&t);
    TDBGrid grid;
    grid.resize(600, 400);
    grid.SetDataSource(&source);
    grid.show();
    QScrollBar *bar = grid.verticalScrollBar();
    for (auto _ : state) {
        bar->setValue((bar->value() + bar->pageStep()) % bar->maximum());
        paint(grid);
    }
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond);

void BM_JumpToEndAndBack(benchmark::State &state)
{
    TRecordTable &t = bigTable();
    TDataSource source(&t);
    TDBGrid grid;
    grid.resize(600, 400);
    grid.SetDataSource(&source);
    grid.show();
    for (auto _ : state) {
        t.Last();
        paint(grid);
        t.First();
        paint(grid);
    }
}
BENCHMARK(BM_JumpToEndAndBack)->Unit(benchmark::kMicrosecond);

void BM_MoveCurrentRowByGrid(benchmark::State &state)
{
    TRecordTable &t = bigTable();
    TDataSource source(&t);
    TDBGrid grid;
    grid.resize(600, 400);
    grid.SetDataSource(&source);
    grid.show();
    int row = 0;
    for (auto _ : state) {
        row = (row + 104729) % kRows;
        grid.setCurrentIndex(grid.model()->index(row, 0));
        paint(grid);
    }
}
BENCHMARK(BM_MoveCurrentRowByGrid)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bigTable();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
