// Open Data and Save Data of 100,000-line files through the real main window slots, with the
// file dialogs answered here, and the parts they are made of: reading the file, appending the
// rows to the table, writing the file. Also the resident memory that one table row costs.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>

#include "app/mainwindow.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"

namespace {

const int fileRows = 100000;

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Resident memory of the process in bytes, from /proc/self/status.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() * 1024;
    }
    return 0;
}

// Bytes the heap has handed out and not taken back. Unlike the resident size, this also counts
// memory that earlier iterations freed and the allocator gives out again.
double heapBytes()
{
    return static_cast<double>(mallinfo2().uordblks);
}

// Resident and heap growth per row over one step; resident growth shows only on the first
// fill of a process, while freed memory is still mapped later.
struct RowCost
{
    double rss = 0;
    double heap = 0;
    double rssBefore = 0;
    double heapBefore = 0;
    void start()
    {
        rssBefore = residentBytes();
        heapBefore = heapBytes();
    }
    void stop(int rows)
    {
        rss = std::max(rss, (residentBytes() - rssBefore) / rows);
        heap = std::max(heap, (heapBytes() - heapBefore) / rows);
    }
    void report(benchmark::State &state) const
    {
        state.counters["rss_bytes_per_row"] = rss;
        state.counters["heap_bytes_per_row"] = heap;
    }
};

// Measurement-like numbers of all three kinds of notation the writer produces.
QString dataFile()
{
    static const QString path = [] {
        const QString name = workDir().filePath(QStringLiteral("points.txt"));
        QVector<double> x, y, dy;
        for (int i = 0; i < fileRows; ++i) {
            x.append(1e6 * (1 + i * 0.0137));
            y.append(-3.14159 * (i % 97) / 7.0);
            dy.append(1.23e-5 * (1 + i % 13));
        }
        QString error;
        if (!DataFileWriter::write(name, x, y, dy, &error))
            qFatal("cannot write %s: %s", qPrintable(name), qPrintable(error));
        return name;
    }();
    return path;
}

// Types path into the next file dialog and accepts it, polling every millisecond so that the
// answer adds next to nothing to the time measured.
void answerFileDialog(const QString &path)
{
    auto *timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

QStandardItemModel *tableModel(MainWindow &window)
{
    return qobject_cast<QStandardItemModel *>(
        window.findChild<QTableView *>(QStringLiteral("twData"))->model());
}

void fillTable(MainWindow &window, int rows)
{
    for (int i = 0; i < rows; ++i)
        QMetaObject::invokeMethod(&window, "addPoint", Q_ARG(double, 1e6 + i),
                                  Q_ARG(double, -0.5 * i), Q_ARG(double, 0.01));
}

// "Open Data" of the 100,000-line file into an empty table, graph refresh included.
void BM_OpenData(benchmark::State &state)
{
    const QString path = dataFile();
    RowCost cost;
    for (auto _ : state) {
        state.PauseTiming();
        auto *window = new MainWindow;
        cost.start();
        answerFileDialog(path);
        state.ResumeTiming();
        window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
        state.PauseTiming();
        if (tableModel(*window)->rowCount() != fileRows)
            state.SkipWithError("the table does not hold every line of the file");
        cost.stop(fileRows);
        delete window;
        state.ResumeTiming();
    }
    cost.report(state);
}

// "Save Data" of a 100,000-row table to a new file.
void BM_SaveData(benchmark::State &state)
{
    MainWindow window;
    fillTable(window, fileRows);
    const QString path = workDir().filePath(QStringLiteral("saved.txt"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        answerFileDialog(path);
        state.ResumeTiming();
        window.findChild<QAction *>(QStringLiteral("actionSave"))->trigger();
    }
    state.counters["file_bytes"] = QFileInfo(path).size();
}

// Only the reading and parsing of the file, no table.
void BM_ReadFile(benchmark::State &state)
{
    const QString path = dataFile();
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly | QIODevice::Text);
        benchmark::DoNotOptimize(DataFileReader::readData(file));
    }
}

// Only the appending of 100,000 rows to the table of a window (the model with its view).
void BM_AppendRows(benchmark::State &state)
{
    RowCost cost;
    for (auto _ : state) {
        state.PauseTiming();
        auto *window = new MainWindow;
        cost.start();
        state.ResumeTiming();
        fillTable(*window, fileRows);
        state.PauseTiming();
        cost.stop(fileRows);
        delete window;
        state.ResumeTiming();
    }
    cost.report(state);
}

// The same rows in a bare item model without a view: what the model itself costs.
void BM_AppendRowsBareModel(benchmark::State &state)
{
    RowCost cost;
    for (auto _ : state) {
        state.PauseTiming();
        auto *model = new QStandardItemModel(0, 3);
        cost.start();
        state.ResumeTiming();
        for (int i = 0; i < fileRows; ++i) {
            QList<QStandardItem *> row;
            for (double value : {1e6 + i, -0.5 * i, 0.01}) {
                auto *item = new QStandardItem;
                item->setData(value, Qt::DisplayRole);
                row.append(item);
            }
            model->appendRow(row);
        }
        state.PauseTiming();
        cost.stop(fileRows);
        delete model;
        state.ResumeTiming();
    }
    cost.report(state);
}

// "Delete Selection" of every stride-th row of a table of rows rows, graph refresh included.
void BM_DeleteSelection(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    const int stride = static_cast<int>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto *window = new MainWindow;
        fillTable(*window, rows);
        auto *table = window->findChild<QTableView *>(QStringLiteral("twData"));
        // Rows clicked one by one are ranges of their own; all rows are one range, as after
        // selecting everything. The ranges hold persistent indexes, so they must be gone from
        // here before the deletion.
        {
            QItemSelection selection;
            for (int row = 0; row < rows; row += stride) {
                const int last = stride == 1 ? rows - 1 : row;
                selection.select(table->model()->index(row, 0), table->model()->index(last, 2));
                row = last;
            }
            table->selectionModel()->select(selection, QItemSelectionModel::Select);
        }
        state.ResumeTiming();
        window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
        state.PauseTiming();
        if (tableModel(*window)->rowCount() != rows - (rows + stride - 1) / stride)
            state.SkipWithError("the table does not hold the rows that were not selected");
        delete window;
        state.ResumeTiming();
    }
}

// Only the formatting and writing of the file.
void BM_WriteFile(benchmark::State &state)
{
    QVector<double> x, y, dy;
    for (int i = 0; i < fileRows; ++i) {
        x.append(1e6 + i);
        y.append(-0.5 * i);
        dy.append(0.01);
    }
    const QString path = workDir().filePath(QStringLiteral("written.txt"));
    QString error;
    for (auto _ : state)
        DataFileWriter::write(path, x, y, dy, &error);
}

} // namespace

BENCHMARK(BM_OpenData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SaveData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AppendRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_AppendRowsBareModel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteSelection)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->ArgNames({"rows", "stride"})
    ->Args({100000, 1})
    ->Args({30000, 2});

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
