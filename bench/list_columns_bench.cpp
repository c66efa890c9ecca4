// A list of 3,000 files reaching the window: six columns filled and fitted to their contents,
// every row measured (as the lists do) against the header's default of the first thousand.
// bench/list_columns.sh prints the ratio.

#include "ui/list_view_ex.h"

#include <QApplication>
#include <QHeaderView>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kColumns = 6;

void BM_FillAndFitColumns(benchmark::State& state)
{
    const int rows = int(state.range(0));
    const bool everyRow = state.range(1) != 0;
    for (auto _ : state) {
        CListViewEx list;
        list.header()->setResizeContentsPrecision(everyRow ? -1 : 1000);
        for (int column = 0; column < kColumns; ++column)
            list.InsertColumn(column, u"Column %1"_s.arg(column));
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < kColumns; ++column)
                list.SetCell(row, column, u"Album %1/Track %2.flac"_s.arg(column).arg(row));
        }
        list.AutoSizeColumns(-1);
        benchmark::DoNotOptimize(list.columnWidth(0));
    }
}
BENCHMARK(BM_FillAndFitColumns)
    ->Args({3000, 1})
    ->Args({3000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
