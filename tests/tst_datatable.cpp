// The table of points: appending, reading columns through single precision, the cell editor,
// deleting selected rows and clearing.
#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <qcustomplot.h>

#include <memory>

#include "app/mainwindow.h"
#include "data/qdoubledelegate.h"
#include "testhelpers.h"

class TestDataTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsEmptyWithThreeLabelledColumns();
    void addPointAppendsAfterLastRow();
    void columnValuesPassThroughSinglePrecision();
    void editorShowsSixDigitsAndStoresSinglePrecision();
    void editorReadsPointDecimalsInAnyLocale();
    void editorKeepsCellWhenTextIsNoNumber();
    void deleteSelectionRemovesExactlySelectedRows();
    void deleteWithoutSelectionStillRefreshes();
    void clearKeepsColumnsAndHeaders();

private:
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    QAbstractItemModel *model() const { return table->model(); }
    QList<double> column(int c) const
    {
        QList<double> values;
        for (int row = 0; row < model()->rowCount(); ++row)
            values << model()->index(row, c).data(Qt::DisplayRole).toDouble();
        return values;
    }
    MainWindow *window = nullptr;
    QTableView *table = nullptr;
};

void TestDataTable::init()
{
    window = new MainWindow;
    table = window->findChild<QTableView *>(QStringLiteral("twData"));
    QVERIFY(table);
}

void TestDataTable::cleanup()
{
    delete window;
    window = nullptr;
}

static QStringList headers(const QAbstractItemModel *model)
{
    QStringList labels;
    for (int c = 0; c < model->columnCount(); ++c)
        labels << model->headerData(c, Qt::Horizontal).toString();
    return labels;
}

void TestDataTable::startsEmptyWithThreeLabelledColumns()
{
    QVERIFY(model());
    QCOMPARE(model()->parent(), static_cast<QObject *>(window));
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(headers(model()), QStringList({"X", "Y", "dY"}));
    QVERIFY(qobject_cast<qDoubleDelegate *>(table->itemDelegate()));
}

void TestDataTable::addPointAppendsAfterLastRow()
{
    addPoint(1, 2, 3);
    addPoint(4, 5, 6);
    addPoint(7, 8, 9);
    QCOMPARE(model()->rowCount(), 3);
    QCOMPARE(column(0), QList<double>({1, 4, 7}));
    QCOMPARE(column(1), QList<double>({2, 5, 8}));
    QCOMPARE(column(2), QList<double>({3, 6, 9}));
    // The cell keeps the double it was given.
    addPoint(1234567890.0, 0.1, 0);
    QCOMPARE(model()->index(3, 0).data(Qt::DisplayRole).userType(),
             static_cast<int>(QMetaType::Double));
    QCOMPARE(model()->index(3, 0).data(Qt::DisplayRole).toDouble(), 1234567890.0);
}

// Everything that reads the table sees single-precision values: the plot gets the nearest
// float to the stored double.
void TestDataTable::columnValuesPassThroughSinglePrecision()
{
    addPoint(1234567890.0, 0.1, 0.5);
    QMetaObject::invokeMethod(window, "updateGraph");
    auto *plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    QVERIFY(plot);
    QCOMPARE(plot->graph(0)->dataCount(), 1);
    QCOMPARE(plot->graph(0)->data()->at(0)->key, 1234567936.0);
    QCOMPARE(plot->graph(0)->data()->at(0)->value, static_cast<double>(0.1f));
    QCOMPARE(model()->index(0, 0).data(Qt::DisplayRole).toDouble(), 1234567890.0);
}

void TestDataTable::editorShowsSixDigitsAndStoresSinglePrecision()
{
    QStandardItemModel bare(1, 1);
    bare.setData(bare.index(0, 0), 1234567.89, Qt::DisplayRole);
    qDoubleDelegate delegate;
    QWidget parent;
    QStyleOptionViewItem option;
    std::unique_ptr<QWidget> editorWidget(delegate.createEditor(&parent, option, bare.index(0, 0)));
    auto *editor = qobject_cast<QLineEdit *>(editorWidget.get());
    QVERIFY(editor);
    auto *validator = qobject_cast<const QDoubleValidator *>(editor->validator());
    QVERIFY(validator);
    QCOMPARE(validator->notation(), QDoubleValidator::ScientificNotation);

    testhelpers::DebugCapture debug;
    delegate.setEditorData(editor, bare.index(0, 0));
    QCOMPARE(editor->text(), QStringLiteral("1.23457e+06"));
    QCOMPARE(debug.lines().size(), 1);

    delegate.setModelData(editor, &bare, bare.index(0, 0));
    const QVariant stored = bare.data(bare.index(0, 0), Qt::DisplayRole);
    QCOMPARE(stored.userType(), static_cast<int>(QMetaType::Float));
    QCOMPARE(stored.toFloat(), 1234570.0f);
}

// Under a German desktop the editor still takes a point as the decimal separator, only what
// converts to a float is accepted as typed, and the table shows numbers with a point.
void TestDataTable::editorReadsPointDecimalsInAnyLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QStandardItemModel bare(1, 1);
    qDoubleDelegate delegate;
    QWidget parent;
    std::unique_ptr<QWidget> editorWidget(
        delegate.createEditor(&parent, QStyleOptionViewItem(), bare.index(0, 0)));
    auto *editor = qobject_cast<QLineEdit *>(editorWidget.get());
    const QValidator *validator = editor->validator();
    const QList<QPair<QString, QValidator::State>> typed = {
        {"7.25", QValidator::Acceptable},   {"2.5e-3", QValidator::Acceptable},
        {"1,5", QValidator::Invalid},       {"1,000", QValidator::Invalid},
        {"1e39", QValidator::Intermediate}, {"-", QValidator::Intermediate}};
    for (const auto &entry : typed) {
        QString text = entry.first;
        int pos = 0;
        QCOMPARE(validator->validate(text, pos), entry.second);
    }
    editor->setText(QStringLiteral("2.5e-3"));
    delegate.setModelData(editor, &bare, bare.index(0, 0));
    // The table and the plot of a window show numbers with a point too.
    MainWindow german;
    QLocale::setDefault(previous);
    QCOMPARE(bare.data(bare.index(0, 0)).toFloat(), 2.5e-3f);
    for (const char *name : {"twData", "wPlot"})
        QCOMPARE(german.findChild<QWidget *>(QLatin1String(name))->locale().toString(0.5),
                 QStringLiteral("0.5"));
}

// Text that is not a number leaves the cell as it was instead of turning it into 0.
void TestDataTable::editorKeepsCellWhenTextIsNoNumber()
{
    QStandardItemModel bare(1, 1);
    bare.setData(bare.index(0, 0), 7.0);
    qDoubleDelegate delegate;
    QLineEdit editor;
    for (const char *text : {"", "-", "1e", "abc", "0,125", "1e39", "nan"}) {
        editor.setText(QLatin1String(text));
        delegate.setModelData(&editor, &bare, bare.index(0, 0));
        QCOMPARE(bare.data(bare.index(0, 0)).toDouble(), 7.0);
    }
}

void TestDataTable::deleteSelectionRemovesExactlySelectedRows()
{
    for (int i = 0; i < 7; ++i)
        addPoint(i, 10 * i, 0.1 * i);
    auto *selection = table->selectionModel();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(model()->index(4, 0), flags);
    selection->select(model()->index(1, 0), flags);
    testhelpers::DebugCapture debug;
    window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
    QCOMPARE(column(0), QList<double>({0, 2, 3, 5, 6}));
    QCOMPARE(column(1), QList<double>({0, 20, 30, 50, 60}));
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);

    // Every other row, the last one among them: many blocks at once, and the table works on.
    for (int row = 0; row < 5; row += 2)
        table->selectionModel()->select(model()->index(row, 0), flags);
    window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
    QCOMPARE(column(0), QList<double>({2, 5}));
    QCOMPARE(column(2), QList<double>({0.1 * 2, 0.1 * 5}));
    QCOMPARE(table->model(), static_cast<QAbstractItemModel *>(model()));
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
    table->selectionModel()->select(model()->index(1, 0), flags);
    window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
    QCOMPARE(column(0), QList<double>({2}));
}

void TestDataTable::deleteWithoutSelectionStillRefreshes()
{
    addPoint(1, 2, 3);
    testhelpers::DebugCapture debug;
    window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
}

void TestDataTable::clearKeepsColumnsAndHeaders()
{
    auto *clear = window->findChild<QAction *>(QStringLiteral("actionClear"));
    testhelpers::DebugCapture debug;
    clear->trigger();
    QCOMPARE(model()->rowCount(), 0);
    addPoint(1, 2, 3);
    addPoint(4, 5, 6);
    clear->trigger();
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(model()->columnCount(), 3);
    QCOMPARE(headers(model()), QStringList({"X", "Y", "dY"}));
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 2);
    addPoint(7, 8, 9);
    QCOMPARE(column(0), QList<double>({7}));
    QCOMPARE(column(2), QList<double>({9}));
}

VANTOREL_TEST_MAIN(TestDataTable)
#include "tst_datatable.moc"
