// The table of points: appending, reading columns with every digit, the cell editor, deleting
// selected rows, clearing, and undoing and redoing each change.
#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

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
    void valuesKeepEveryDigit();
    void editorShowsEveryDigitAndStoresDoubles();
    void editorReadsPointDecimalsInAnyLocale();
    void editorKeepsCellWhenTextIsNoNumber();
    void deleteSelectionRemovesExactlySelectedRows();
    void deleteWithoutSelectionStillRefreshes();
    void clearKeepsColumnsAndHeaders();
    void undoAndRedoEachChange_data();
    void undoAndRedoEachChange();
    void undoKeepsWithinItsBudget();

private:
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    QAbstractItemModel *model() const { return table->model(); }
    // Every row: X, Y, dY, and 1 where it is left out of the fit (shown in italics), else 0.
    QList<QList<double>> rowsWithMarks() const
    {
        QList<QList<double>> rows = testhelpers::tableRows(window);
        for (int row = 0; row < rows.size(); ++row)
            rows[row] << (model()->index(row, 0).data(Qt::FontRole).isValid() ? 1 : 0);
        return rows;
    }
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

// A GHz marker reading keeps every digit in the table, in everything that reads it, and in
// the cell editor, which opens with the shortest text that reads back as the same number;
// pressing Enter on it changes nothing and leaves nothing to undo.
void TestDataTable::valuesKeepEveryDigit()
{
    addPoint(2400012345.0, -20.123456789, 0.0012345678);
    QMetaObject::invokeMethod(window, "updateGraph");
    auto *plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    QCOMPARE(plot->graph(0)->data()->at(0)->key, 2400012345.0);
    QCOMPARE(plot->graph(0)->data()->at(0)->value, -20.123456789);

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *undo = window->findChild<QAction *>(QStringLiteral("actionUndo"));
    undo->trigger(); // the point itself goes; back with Redo
    QCOMPARE(model()->rowCount(), 0);
    window->findChild<QAction *>(QStringLiteral("actionRedo"))->trigger();
    for (int c = 0; c < 3; ++c) {
        table->edit(model()->index(0, c));
        auto *editor = table->findChild<QLineEdit *>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringList({"2400012345", "-20.123456789", "0.0012345678"})[c]);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!table->findChild<QLineEdit *>());
    }
    QCOMPARE(testhelpers::tableRows(window),
             (QList<QList<double>>{{2400012345.0, -20.123456789, 0.0012345678}}));
    QVERIFY(undo->isEnabled());
    undo->trigger(); // the addition, not an edit
    QCOMPARE(model()->rowCount(), 0);
}

void TestDataTable::editorShowsEveryDigitAndStoresDoubles()
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
    QCOMPARE(editor->text(), QStringLiteral("1234567.89"));
    QCOMPARE(debug.lines().size(), 1);

    delegate.setModelData(editor, &bare, bare.index(0, 0));
    QCOMPARE(bare.data(bare.index(0, 0)), QVariant(1234567.89));
    editor->setText(QStringLiteral("6309573"));
    delegate.setModelData(editor, &bare, bare.index(0, 0));
    QCOMPARE(bare.data(bare.index(0, 0)), QVariant(6309573.0));
}

// Under a German desktop the editor still takes a point as the decimal separator, only what
// converts to a double is accepted as typed, and the table shows numbers with a point. A
// decimal comma stays in the field for the user to see, but is never accepted.
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
        {"7.25", QValidator::Acceptable},    {"2.5e-3", QValidator::Acceptable},
        {"1e39", QValidator::Acceptable},    {"1,5", QValidator::Intermediate},
        {"-12,5", QValidator::Intermediate}, {"1,000", QValidator::Intermediate},
        {"1,2,", QValidator::Invalid},       {"1e400", QValidator::Intermediate},
        {"-", QValidator::Intermediate}};
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
    QCOMPARE(bare.data(bare.index(0, 0)).toDouble(), 2.5e-3);
    for (const char *name : {"twData", "wPlot"})
        QCOMPARE(german.findChild<QWidget *>(QLatin1String(name))->locale().toString(0.5),
                 QStringLiteral("0.5"));
}

// Text that is not a number leaves the cell as it was instead of turning it into 0, and the
// editor says why. In the window, a decimal comma typed into a cell and Enter: the cell keeps
// its number and the status bar shows the hint with the refused text.
void TestDataTable::editorKeepsCellWhenTextIsNoNumber()
{
    QStandardItemModel bare(1, 1);
    bare.setData(bare.index(0, 0), 7.0);
    qDoubleDelegate delegate;
    QSignalSpy refused(&delegate, &qDoubleDelegate::textRefused);
    QLineEdit editor;
    for (const char *text : {"", "-", "1e", "abc", "0,125", "1e400", "nan"}) {
        editor.setText(QLatin1String(text));
        delegate.setModelData(&editor, &bare, bare.index(0, 0));
        QCOMPARE(bare.data(bare.index(0, 0)).toDouble(), 7.0);
    }
    QCOMPARE(refused.size(), 7);
    QCOMPARE(refused.at(4).at(0).toString(),
             QStringLiteral("Use a point (.) as the decimal separator: \"0,125\" was not stored"));

    addPoint(1, 2, 3);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    table->edit(model()->index(0, 1));
    auto *cellEditor = table->findChild<QLineEdit *>();
    QVERIFY(cellEditor);
    cellEditor->selectAll();
    QTest::keyClicks(cellEditor, QStringLiteral("2,5"));
    QCOMPARE(cellEditor->text(), QStringLiteral("2,5"));
    QTest::keyClick(cellEditor, Qt::Key_Enter);
    QTRY_VERIFY(!table->findChild<QLineEdit *>());
    QCOMPARE(testhelpers::tableRows(window), (QList<QList<double>>{{1, 2, 3}}));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Use a point (.) as the decimal separator: \"2,5\" was not stored"));

    // The hint goes with the next edit that works.
    table->edit(model()->index(0, 1));
    cellEditor = table->findChild<QLineEdit *>();
    QVERIFY(cellEditor);
    cellEditor->selectAll();
    QTest::keyClicks(cellEditor, QStringLiteral("2.5"));
    QTest::keyClick(cellEditor, Qt::Key_Enter);
    QTRY_COMPARE(window->statusBar()->currentMessage(), QString());
    QCOMPARE(testhelpers::tableRows(window), (QList<QList<double>>{{1, 2.5, 3}}));
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

void TestDataTable::undoAndRedoEachChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("onlyNewest");
    const QList<QStringList> changes = {
        {"add point", "add", "", "Add Point"},
        {"cell edit", "edit", "", "Edit Cell"},
        {"delete a block of rows", "delete block", "Deleted 2 rows (Ctrl+Z to undo)",
         "Delete Selection"},
        {"delete scattered rows", "delete", "Deleted 3 rows (Ctrl+Z to undo)", "Delete Selection"},
        {"clear a table read from a file", "clear", "Deleted 6 rows (Ctrl+Z to undo)",
         "Clear Data"},
        {"open data", "open", "Read 6 points from %1", "Open Data"},
        {"leave rows out of the fit", "leave out", "Left 2 rows out of the fit (Ctrl+Z to undo)",
         "Leave Out of Fit"}};
    // With no memory to spare, the step is the only one kept: the older one is dropped and the
    // stack rebuilt around it.
    for (const QStringList &c : changes) {
        QTest::newRow(qPrintable(c[0])) << c[1] << c[2] << c[3] << false;
        QTest::newRow(qPrintable(c[0] + QStringLiteral(", the only step kept")))
            << c[1] << c[2] << c[3] << true;
    }
}

// Each change is one step back and one step forward, each step redraws the points once, and
// the status bar names it; also when it is the only step kept. The model keeps its promises to the
// view throughout (inserts, removals, resets, edits, undone and redone).
void TestDataTable::undoAndRedoEachChange()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(QString, step);
    QFETCH(bool, onlyNewest);
    QAbstractItemModelTester tester(model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTemporaryDir dir;
    const QString path = testhelpers::writeFile(dir.filePath(QStringLiteral("six.txt")),
                                                "1\t10\t0.1\n2\t20\t0.2\n3\t30\t0.3\n"
                                                "4\t40\t0.4\n5\t50\t0.5\n6\t60\t0.6\n");
    testhelpers::answerFileDialog(path);
    window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    const auto before = rowsWithMarks();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (onlyNewest)
        window->setUndoBudget(1);
    if (change == QLatin1String("add")) {
        addPoint(7, 70, 0.7);
    } else if (change == QLatin1String("edit")) {
        model()->setData(model()->index(2, 1), 33.5);
    } else if (change.startsWith(QLatin1String("delete"))) {
        for (int row : change == QLatin1String("delete") ? QList<int>{5, 0, 3} : QList<int>{2, 3})
            table->selectionModel()->select(model()->index(row, 0), flags);
        window->findChild<QAction *>(QStringLiteral("actionDelete_Selection"))->trigger();
    } else if (change == QLatin1String("leave out")) {
        for (int row : {1, 4})
            table->selectionModel()->select(model()->index(row, 0), flags);
        window->findChild<QAction *>(QStringLiteral("actionLeaveOutOfFit"))->trigger();
    } else if (change == QLatin1String("clear")) {
        window->findChild<QAction *>(QStringLiteral("actionClear"))->trigger();
    } else {
        testhelpers::answerFileDialog(path);
        window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    }
    if (!message.isEmpty())
        QCOMPARE(window->statusBar()->currentMessage(), message.arg(path));
    const auto after = rowsWithMarks();
    QVERIFY(after != before);

    auto *undo = window->findChild<QAction *>(QStringLiteral("actionUndo"));
    auto *redo = window->findChild<QAction *>(QStringLiteral("actionRedo"));
    QCOMPARE(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    testhelpers::DebugCapture debug;
    undo->trigger();
    QCOMPARE(rowsWithMarks(), before);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Undone: ") + step);
    redo->trigger();
    QCOMPARE(rowsWithMarks(), after);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Redone: ") + step);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 2);
    QVERIFY(!redo->isEnabled());
    // Back past the file too: an empty table, unless the file's step was dropped.
    undo->trigger();
    QCOMPARE(undo->isEnabled(), !onlyNewest);
    if (onlyNewest) {
        QCOMPARE(rowsWithMarks(), before);
        return;
    }
    undo->trigger();
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(!undo->isEnabled());
}

// Steps beyond the memory budget are dropped, oldest first, and the status bar says so; the
// steps kept still undo and redo exactly. (The model tester follows every kind of step, a step
// kept alone included, in undoAndRedoEachChange; here it would check 50000 rows at every step.)
void TestDataTable::undoKeepsWithinItsBudget()
{
    QTemporaryDir dir;
    QByteArray content;
    for (int i = 0; i < 50000; ++i)
        content += QByteArray::number(i) + "\t1\t0.5\n";
    const QString path = testhelpers::writeFile(dir.filePath(QStringLiteral("big.txt")), content);
    window->setUndoBudget(std::size_t(3) << 20);
    auto *open = window->findChild<QAction *>(QStringLiteral("actionOpen"));
    auto *clear = window->findChild<QAction *>(QStringLiteral("actionClear"));
    auto *undo = window->findChild<QAction *>(QStringLiteral("actionUndo"));
    auto *redo = window->findChild<QAction *>(QStringLiteral("actionRedo"));
    // Each cleared table of 50000 points is 1.6 MB: the second one leaves no room for the first.
    testhelpers::answerFileDialog(path);
    open->trigger();
    clear->trigger();
    QTest::qWait(0);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Deleted 50000 rows (Ctrl+Z to undo)"));
    testhelpers::answerFileDialog(path);
    open->trigger();
    addPoint(-1, -2, -3);
    clear->trigger();
    QTRY_COMPARE(
        window->statusBar()->currentMessage(),
        QStringLiteral("Deleted 50001 rows (Ctrl+Z to undo); the oldest 2 steps, up to "
                       "\"Clear Data\", can no longer be undone (Undo keeps at most 3 MB)"));
    undo->trigger();
    QCOMPARE(model()->rowCount(), 50001);
    undo->trigger();
    undo->trigger();
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(!undo->isEnabled());
    undo->trigger();
    QCOMPARE(model()->rowCount(), 0);
    for (int i = 0; i < 3; ++i)
        redo->trigger();
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(!redo->isEnabled());
    undo->trigger();
    QCOMPARE(testhelpers::tableRows(window).last(), (QList<double>{-1, -2, -3}));
    QCOMPARE(model()->index(49999, 0).data().toDouble(), 49999.0);
}

VANTOREL_TEST_MAIN(TestDataTable)
#include "tst_datatable.moc"
