#ifndef TESTHELPERS_H
#define TESTHELPERS_H

#include <QApplication>
#include <QStringList>
#include <QTest>

#include <functional>

class QAbstractItemModel;
class QWidget;

namespace testhelpers {

// Calls handler with the active modal widget each time the event loop polls (every 20 ms),
// until handler returns true, timeoutMs pass or the test row that started it ends. Start it
// before the call that opens the dialog; the dialog's own event loop delivers the polls.
void answerModal(std::function<bool(QWidget *)> handler, int timeoutMs = 5000);

// Answers the next file dialog by typing path into its name field and accepting it.
void answerFileDialog(const QString &path);

// Cancels the next file dialog.
void cancelFileDialog();

// Answers Yes to the next message box: the file dialog's question whether to replace a file.
void answerReplace();

// Answers the next message box with an OK button (a warning) and keeps its text in *text,
// which must outlive the test row.
void answerWarning(QString *text);

// Titles the plot's axes, and the plot above them, through Graph > Titles... as a user does.
void setGraphTitles(QWidget *window, const QString &titleX, const QString &titleY,
                    const QString &above = QString());

// Waits until the window has no progress dialog of work beside it: a fit or a file read or
// written that went on beyond the dialog's delay has ended, and the window has gone on. False
// when it is still running after timeoutMs.
bool waitForWorkBesideWindow(const QWidget *window, int timeoutMs = 120000);

// The table model behind the window's "twData" view.
QAbstractItemModel *tableModel(const QWidget *window);

// The number in one cell of that table, as its model gives it.
double cell(const QWidget *window, int row, int column);

// Every row of that table: X, Y and dY.
QList<QList<double>> tableRows(const QWidget *window);

// Writes bytes to the file at path, replacing it; stops the test program when that fails.
QString writeFile(const QString &path, const QByteArray &bytes);

// Collects the lines written to the debug stream while it lives.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    QStringList lines() const;
    int count(const QString &line) const { return lines().count(line); }
};

} // namespace testhelpers

// Like QTEST_MAIN, but with Qt's own (non-native) dialogs, so tests can fill them in.
#define VANTOREL_TEST_MAIN(TestObject)                                                             \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);                                   \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#endif // TESTHELPERS_H
