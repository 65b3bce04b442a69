#include "testhelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMutex>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <memory>

namespace testhelpers {

// The test function and data row that run now (empty outside a test).
static QByteArray currentTest()
{
    const char *function = QTest::currentTestFunction();
    const char *tag = QTest::currentDataTag();
    return QByteArray(function ? function : "") + '/' + QByteArray(tag ? tag : "");
}

// Polling stops unasked once the test row that started it is over: its handler may refer to
// that row's local variables, and the next dialog belongs to another row.
void answerModal(std::function<bool(QWidget *)> handler, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(20);
    const QByteArray test = currentTest();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, handler, timeoutMs, test] {
        QWidget *modal = QApplication::activeModalWidget();
        if (currentTest() != test || (modal && handler(modal)) || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void answerFileDialog(const QString &path)
{
    answerModal([path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!edit)
            return false;
        edit->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    });
}

void cancelFileDialog()
{
    answerModal([](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        return true;
    });
}

void answerReplace()
{
    answerModal([](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        QMetaObject::invokeMethod(box->button(QMessageBox::Yes), "click", Qt::QueuedConnection);
        return true;
    });
}

void answerWarning(QString *text)
{
    answerModal([text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->button(QMessageBox::Ok))
            return false;
        *text = box->text();
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
        return true;
    });
}

bool waitForWorkBesideWindow(const QWidget *window, int timeoutMs)
{
    // A cancelled dialog hides at once, while its work may still run: the dialog goes only
    // when the work has ended.
    return QTest::qWaitFor([window] { return window->findChildren<QProgressDialog *>().isEmpty(); },
                           timeoutMs);
}

QAbstractItemModel *tableModel(const QWidget *window)
{
    const auto *table = window->findChild<QTableView *>(QStringLiteral("twData"));
    return table ? table->model() : nullptr;
}

double cell(const QWidget *window, int row, int column)
{
    const QAbstractItemModel *model = tableModel(window);
    return model->data(model->index(row, column), Qt::DisplayRole).toDouble();
}

QList<QList<double>> tableRows(const QWidget *window)
{
    const QAbstractItemModel *model = tableModel(window);
    QList<QList<double>> rows;
    for (int r = 0; r < model->rowCount(); ++r)
        rows.append({cell(window, r, 0), cell(window, r, 1), cell(window, r, 2)});
    return rows;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

static QStringList capturedLines;
static QMutex captureMutex;
static QtMessageHandler previousHandler = nullptr;

static void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg) {
        QMutexLocker lock(&captureMutex);
        capturedLines.append(text);
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

DebugCapture::DebugCapture()
{
    QMutexLocker lock(&captureMutex);
    capturedLines.clear();
    previousHandler = qInstallMessageHandler(captureHandler);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList DebugCapture::lines() const
{
    QMutexLocker lock(&captureMutex);
    return capturedLines;
}

void setGraphTitles(QWidget *window, const QString &titleX, const QString &titleY,
                    const QString &above)
{
    answerModal([=](QWidget *modal) {
        auto *x = modal->findChild<QLineEdit *>(QStringLiteral("leTitleX"));
        if (!x)
            return false;
        x->setText(titleX);
        modal->findChild<QLineEdit *>(QStringLiteral("leTitleY"))->setText(titleY);
        modal->findChild<QLineEdit *>(QStringLiteral("leTitlePlot"))->setText(above);
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        return true;
    });
    window->findChild<QAction *>(QStringLiteral("actionGraphTitles"))->trigger();
}

} // namespace testhelpers
