// Open Data and Save Data of 100,000-line files through the real main window slots, with the
// file dialogs answered here, and the parts they are made of: reading the file, appending the
// rows to the table, writing the file. Also the resident memory that one table row costs.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
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
