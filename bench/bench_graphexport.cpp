// Exporting a plot of many points with their bars: SVG and PDF draw every point as a vector
// shape, PNG draws the screen's picture at 300 dpi with the bars merged per pixel column.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>

#include <qcustomplot.h>

#include "plot/graphexport.h"
#include "plot/pointswithbars.h"

namespace {

void BM_ExportGraph(benchmark::State &state)
{
    const int points = static_cast<int>(state.range(0));
    const auto format = static_cast<GraphExport::Format>(state.range(1));
    QCustomPlot plot;
    plot.resize(800, 500);
    plot.xAxis->setScaleType(QCPAxis::stLogarithmic);
    QCPGraph *graph = PointsWithBars::add(&plot);
    QVector<double> x(points);
    QVector<double> y(points);
    QVector<double> dy(points, 0.3);
    for (int i = 0; i < points; ++i) {
        x[i] = std::pow(10.0, 1 + 4.0 * i / points);
        y[i] = -10 * std::log10(1 + std::pow(x[i] / 3e3, 2)) + std::sin(0.37 * i);
    }
    PointsWithBars::set(graph, x, y, dy);
    plot.rescaleAxes();
    plot.replot();
    GraphExport::Page page;
    page.size = QSizeF(85, 60);
    page.unit = GraphExport::Millimetre;
    page.dpi = 300;
    page.fontPt = 8;
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray file = GraphExport::render(&plot, format, page);
        bytes = file.size();
        benchmark::DoNotOptimize(file.constData());
    }
    state.counters["file_MB"] = bytes / 1e6;
    state.SetLabel(format == GraphExport::Svg ? "svg" : format == GraphExport::Pdf ? "pdf" : "png");
}

BENCHMARK(BM_ExportGraph)
    ->ArgNames({"points", "format"})
    ->Args({10000, GraphExport::Svg})
    ->Args({100000, GraphExport::Svg})
    ->Args({100000, GraphExport::Pdf})
    ->Args({100000, GraphExport::Png})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
