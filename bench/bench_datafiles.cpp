// Open Data, Save Data, Delete Selection, Clear Data and closing the window on tables of 100,000
// and 1,000,000 rows, through the real main window with its file dialogs answered here, and the
// parts they are made of: reading the file, appending rows, writing the file. Also the
// resident memory the table costs.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <limits>
#include <map>
#include <vector>

#include "app/mainwindow.h"
#include "data/datafilereader.h"
#include "data/datafilewriter.h"
#include "data/pointtablemodel.h"

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

// A file of rows measurement-like points, made once per size: numbers of all three kinds of
// notation the writer produces.
QString dataFile(int rows)
{
    static std::map<int, QString> paths;
    QString &path = paths[rows];
    if (path.isEmpty()) {
        path = workDir().filePath(QStringLiteral("points-%1.txt").arg(rows));
        QVector<double> x, y, dy;
        for (int i = 0; i < rows; ++i) {
            x.append(1e6 * (1 + i * 0.0137));
            y.append(-3.14159 * (i % 97) / 7.0);
            dy.append(1.23e-5 * (1 + i % 13));
        }
        QString error;
        if (!DataFileWriter::write(path, x, y, dy, &error))
            qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    }
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

QAbstractItemModel *tableModel(MainWindow &window)
{
    return window.findChild<QTableView *>(QStringLiteral("twData"))->model();
}

void trigger(MainWindow &window, const char *action)
{
    window.findChild<QAction *>(QLatin1String(action))->trigger();
}

// A window that waits for every file it reads or writes without showing the progress dialog,
// so that each operation has ended when its action returns.
MainWindow *newWindow()
{
    auto *window = new MainWindow;
    window->setFileDialogDelay(std::numeric_limits<int>::max());
    return window;
}

// A window whose table holds the rows of the file of that size, opened through Open Data.
MainWindow *windowWithFile(int rows)
{
    auto *window = newWindow();
    answerFileDialog(dataFile(rows));
    trigger(*window, "actionOpen");
    if (tableModel(*window)->rowCount() != rows)
        qFatal("the table does not hold every line of the file");
    return window;
}

// Selects every other row, each as a range of its own, as rows clicked one by one are.
void selectEveryOtherRow(MainWindow &window)
{
    auto *table = window.findChild<QTableView *>(QStringLiteral("twData"));
    QItemSelection selection;
    const int rows = table->model()->rowCount();
    for (int row = 0; row < rows; row += 2)
        selection.append(
            QItemSelectionRange(table->model()->index(row, 0), table->model()->index(row, 2)));
    table->selectionModel()->select(selection, QItemSelectionModel::Select);
}

// "Open Data" of a file into an empty table, graph refresh included, and the resident memory
// it adds: the table, its view and the plotted points.
void BM_OpenData(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    const QString path = dataFile(rows);
    double resident = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto *window = newWindow();
        malloc_trim(0);
        const double before = residentBytes();
        answerFileDialog(path);
        state.ResumeTiming();
        trigger(*window, "actionOpen");
        state.PauseTiming();
        if (tableModel(*window)->rowCount() != rows)
            state.SkipWithError("the table does not hold every line of the file");
        resident = std::max(resident, residentBytes() - before);
        delete window;
        state.ResumeTiming();
    }
    state.counters["resident_MB"] = resident / 1e6;
}

// "Save Data" of the table read from a file, to a new file.
void BM_SaveData(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    MainWindow *window = windowWithFile(rows);
    const QString path = workDir().filePath(QStringLiteral("saved.txt"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        answerFileDialog(path);
        state.ResumeTiming();
        trigger(*window, "actionSave");
    }
    state.counters["file_MB"] = QFileInfo(path).size() / 1e6;
    delete window;
}

// After the table is read from a file: "Delete Selection" of every other row, then "Clear
// Data", then closing the window (it is destroyed, as after the user's last answer), each timed
// on its own; the counters give each in milliseconds.
void BM_DeleteClearClose(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    double deleteMs = 0, clearMs = 0, closeMs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        state.PauseTiming();
        MainWindow *window = windowWithFile(rows);
        selectEveryOtherRow(*window);
        state.ResumeTiming();
        clock.start();
        trigger(*window, "actionDelete_Selection");
        deleteMs = clock.nsecsElapsed() / 1e6;
        state.PauseTiming();
        if (tableModel(*window)->rowCount() != rows / 2)
            state.SkipWithError("the table does not hold the rows that were not selected");
        state.ResumeTiming();
        clock.start();
        trigger(*window, "actionClear");
        clearMs = clock.nsecsElapsed() / 1e6;
        clock.start();
        delete window;
        closeMs = clock.nsecsElapsed() / 1e6;
    }
    state.counters["delete_ms"] = deleteMs;
    state.counters["clear_ms"] = clearMs;
    state.counters["close_ms"] = closeMs;
}

// Only the reading and parsing of the file, no table.
void BM_ReadFile(benchmark::State &state)
{
    const QString path = dataFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        std::vector<DataPoint> points;
        benchmark::DoNotOptimize(DataFileReader::readData(file, &points));
    }
}

void fillTable(MainWindow &window, int rows)
{
    for (int i = 0; i < rows; ++i)
        QMetaObject::invokeMethod(&window, "addPoint", Q_ARG(double, 1e6 + i),
                                  Q_ARG(double, -0.5 * i), Q_ARG(double, 0.01));
}

// Only the appending of 100,000 rows one by one, as Add Point and timed runs do, to the table
// of a window (the model with its view and the undo history).
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

// The same rows in a bare model without a view or undo history: what the model itself costs.
void BM_AppendRowsBareModel(benchmark::State &state)
{
    RowCost cost;
    for (auto _ : state) {
        state.PauseTiming();
        auto *model = new PointTableModel;
        cost.start();
        state.ResumeTiming();
        for (int i = 0; i < fileRows; ++i)
            model->appendPoints({DataPoint{1e6 + i, -0.5 * i, 0.01}}, QString());
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

BENCHMARK(BM_OpenData)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000);
BENCHMARK(BM_SaveData)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000);
BENCHMARK(BM_DeleteClearClose)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->ArgName("rows")
    ->Arg(100000)
    ->Arg(1000000);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Arg(100000)->Arg(1000000);
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
