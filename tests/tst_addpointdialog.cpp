// The Add Point dialog: its form, the shared validator, and typing points into the table
// through the real main window.
#include <QAction>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/mainwindow.h"
#include "app/addpointdialog.h"
#include "testhelpers.h"

class TestAddPointDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formAsDesigned();
    void fieldsShareOneScientificValidator();
    void acceptedValuesReadWithPointDecimals();
    void typedPointIsAppendedAfterLastRow();
    void untouchedDialogAddsZeroPoint();
    void commaOrEmptyFieldCannotBeConfirmed_data();
    void commaOrEmptyFieldCannotBeConfirmed();
    void cancelChangesNothing();
    void everyOpeningStartsAtZero();

private:
    // Answers the next Add Point dialog: fills the fields given (null keeps a field as it is,
    // after recording what it showed) and presses OK, or Cancel when accept is false or OK is
    // not enabled (okEnabled tells which).
    void answerDialog(const char *x, const char *y, const char *dy, bool accept = true)
    {
        shown.clear();
        testhelpers::answerModal([=](QWidget *modal) {
            auto *dialog = qobject_cast<AddPointDialog *>(modal);
            if (!dialog)
                return false;
            const char *texts[] = {x, y, dy};
            const char *names[] = {"leX", "leY", "ledY"};
            for (int i = 0; i < 3; ++i) {
                auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(names[i]));
                shown << edit->text();
                if (texts[i]) {
                    edit->selectAll();
                    edit->del();
                    QTest::keyClicks(edit, QLatin1String(texts[i]));
                }
            }
            auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            okEnabled = box->button(QDialogButtonBox::Ok)->isEnabled();
            typed.clear();
            marked.clear();
            for (const char *name : names) {
                auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(name));
                typed << edit->text();
                marked << edit->property("notAcceptable").toBool();
            }
            auto *hint = dialog->findChild<QLabel *>(QStringLiteral("lbHint"));
            hintShown = hint->isVisibleTo(dialog) ? hint->text() : QString();
            QPushButton *button =
                box->button(accept && okEnabled ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
            QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
            return true;
        });
    }
    void addPointAction()
    {
        window->findChild<QAction *>(QStringLiteral("actionAddPoint"))->trigger();
    }
    QList<QList<double>> rows() const { return testhelpers::tableRows(window); }

    MainWindow *window = nullptr;
    QAbstractItemModel *model = nullptr;
    QStringList shown;
    // What the fields held after typing, which of them were marked, and the hint shown.
    QStringList typed;
    QList<bool> marked;
    QString hintShown;
    bool okEnabled = false;
};

void TestAddPointDialog::init()
{
    window = new MainWindow;
    model = testhelpers::tableModel(window);
    QVERIFY(model);
}

void TestAddPointDialog::cleanup()
{
    delete window;
    window = nullptr;
}

void TestAddPointDialog::formAsDesigned()
{
    AddPointDialog dialog(window);
    QCOMPARE(dialog.objectName(), QStringLiteral("AddPointDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Point..."));
    QCOMPARE(dialog.size(), QSize(174, 121));
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);
    QVERIFY(!dialog.isSizeGripEnabled());
    QCOMPARE(dialog.parent(), static_cast<QObject *>(window));

    auto *vertical = qobject_cast<QVBoxLayout *>(dialog.layout());
    QVERIFY(vertical);
    QCOMPARE(vertical->objectName(), QStringLiteral("verticalLayout"));
    auto *form = dialog.findChild<QFormLayout *>(QStringLiteral("formLayout"));
    QVERIFY(form);
    QCOMPARE(vertical->itemAt(0)->layout(), static_cast<QLayout *>(form));
    auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QCOMPARE(vertical->itemAt(2)->widget(), static_cast<QWidget *>(box));
    auto *hint = dialog.findChild<QLabel *>(QStringLiteral("lbHint"));
    QCOMPARE(vertical->itemAt(1)->widget(), static_cast<QWidget *>(hint));
    QVERIFY(!hint->isVisibleTo(&dialog));
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    QCOMPARE(form->rowCount(), 3);
    const char *labels[][2] = {{"lbX", "X:"}, {"label_2", "Y:"}, {"label_3", "dY:"}};
    const char *edits[] = {"leX", "leY", "ledY"};
    for (int row = 0; row < 3; ++row) {
        auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        QVERIFY(label);
        QCOMPARE(label->objectName(), QLatin1String(labels[row][0]));
        QCOMPARE(label->text(), QLatin1String(labels[row][1]));
        auto *edit = qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
        QVERIFY(edit);
        QCOMPARE(edit->objectName(), QLatin1String(edits[row]));
        QCOMPARE(edit->text(), QStringLiteral("0"));
        QVERIFY(edit->alignment() & Qt::AlignRight);
        QVERIFY(edit->alignment() & Qt::AlignVCenter);
    }
    QCOMPARE(dialog.getX(), 0.0);
    QCOMPARE(dialog.getY(), 0.0);
    QCOMPARE(dialog.getDelta(), 0.0);
}

void TestAddPointDialog::fieldsShareOneScientificValidator()
{
    AddPointDialog dialog;
    const QValidator *shared = dialog.findChild<QLineEdit *>(QStringLiteral("leX"))->validator();
    auto *validator = qobject_cast<const QDoubleValidator *>(shared);
    QVERIFY(validator);
    QCOMPARE(validator->parent(), static_cast<QObject *>(&dialog));
    QCOMPARE(validator->notation(), QDoubleValidator::ScientificNotation);
    QCOMPARE(validator->bottom(), QDoubleValidator().bottom());
    QCOMPARE(validator->top(), QDoubleValidator().top());
    QCOMPARE(validator->decimals(), QDoubleValidator().decimals());
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("leY"))->validator(), shared);
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("ledY"))->validator(), shared);
    QCOMPARE(dialog.findChildren<QDoubleValidator *>().size(), 1);
}

// Under a German desktop the fields still take a point as the decimal separator, and OK is
// enabled only while all three hold a number.
void TestAddPointDialog::acceptedValuesReadWithPointDecimals()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    AddPointDialog dialog;
    auto *y = dialog.findChild<QLineEdit *>(QStringLiteral("leY"));
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
                          ->button(QDialogButtonBox::Ok);
    QVERIFY(ok->isEnabled());
    for (const char *notNumber : {"1,5", "1,000", "1e999", "-", "1e", ""}) {
        y->setText(QLatin1String(notNumber));
        QVERIFY2(!ok->isEnabled(), notNumber);
    }
    dialog.findChild<QLineEdit *>(QStringLiteral("leX"))->setText(QStringLiteral("2.5e-3"));
    y->setText(QStringLiteral("-7.25"));
    dialog.findChild<QLineEdit *>(QStringLiteral("ledY"))->setText(QStringLiteral("1E2"));
    QVERIFY(ok->isEnabled());
    ok->click();
    QLocale::setDefault(previous);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.getX(), 2.5e-3);
    QCOMPARE(dialog.getY(), -7.25);
    QCOMPARE(dialog.getDelta(), 100.0);
}

void TestAddPointDialog::typedPointIsAppendedAfterLastRow()
{
    QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, 1), Q_ARG(double, 2),
                              Q_ARG(double, 3));
    testhelpers::DebugCapture debug;
    answerDialog("1.5e3", "2", "0.25");
    addPointAction();
    QCOMPARE(rows(), (QList<QList<double>>{{1, 2, 3}, {1500, 2, 0.25}}));
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
}

void TestAddPointDialog::untouchedDialogAddsZeroPoint()
{
    answerDialog(nullptr, nullptr, nullptr);
    addPointAction();
    QCOMPARE(rows(), (QList<QList<double>>{{0, 0, 0}}));
}

void TestAddPointDialog::commaOrEmptyFieldCannotBeConfirmed_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("marked");
    QTest::newRow("comma in X") << QStringList({"2,5", "2", "0.5"}) << 0;
    QTest::newRow("comma in Y") << QStringList({"4", "-12,5", "0.5"}) << 1;
    QTest::newRow("comma in dY") << QStringList({"4", "2", "7,15"}) << 2;
    QTest::newRow("emptied Y") << QStringList({"4", "", "0.5"}) << -1;
}

// A decimal comma (as a German number pad types it) stays in its field, which is marked, a hint
// says what to type instead, and OK stays disabled; so does an emptied field, without a hint.
// Nothing is added either way.
void TestAddPointDialog::commaOrEmptyFieldCannotBeConfirmed()
{
    QFETCH(QStringList, fields);
    QFETCH(int, marked);
    const QByteArray x = fields[0].toLatin1(), y = fields[1].toLatin1(), dy = fields[2].toLatin1();
    answerDialog(x.constData(), y.constData(), dy.constData());
    addPointAction();
    QVERIFY(!okEnabled);
    QCOMPARE(typed, fields);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(this->marked[i], i == marked);
    QCOMPARE(hintShown,
             marked >= 0 ? QStringLiteral("Use a point (.) as the decimal separator") : QString());
    QCOMPARE(rows(), QList<QList<double>>());
}

void TestAddPointDialog::cancelChangesNothing()
{
    QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, 1), Q_ARG(double, 2),
                              Q_ARG(double, 3));
    testhelpers::DebugCapture debug;
    answerDialog("7", "8", "9", false);
    addPointAction();
    QCOMPARE(rows(), (QList<QList<double>>{{1, 2, 3}}));
    QCOMPARE(debug.lines().size(), 0);
}

void TestAddPointDialog::everyOpeningStartsAtZero()
{
    answerDialog("1.5e3", "2", "0.25");
    addPointAction();
    QCOMPARE(shown, QStringList({"0", "0", "0"}));
    answerDialog(nullptr, "5", nullptr);
    addPointAction();
    QCOMPARE(shown, QStringList({"0", "0", "0"}));
    QCOMPARE(rows(), (QList<QList<double>>{{1500, 2, 0.25}, {0, 5, 0}}));
}

VANTOREL_TEST_MAIN(TestAddPointDialog)
#include "tst_addpointdialog.moc"
