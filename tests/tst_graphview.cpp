// The plot: its set-up, the refresh after every change, and the export by file extension.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <qcustomplot.h>

#include <cmath>

#include "app/mainwindow.h"
#include "data/numbertext.h"
#include "plot/denseerrorbars.h"
#include "plot/plainticks.h"
#include "testhelpers.h"

class TestGraphView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setUpTwoGraphs();
    void refreshWritesOneDebugLine();
    void pointsAndErrorBars();
    void denseBarsLookTheSame();
    void rescaleCoversErrorBars();
    void clearKeepsFitCurveAndFitsAxesToIt();
    void emptyPlotKeepsRanges();
    void tickLabelsArePlainAndApart();
    void exportsByExtension_data();
    void exportsByExtension();
    void namesThatWriteNothing_data();
    void namesThatWriteNothing();
    void cancelledExportWritesNothing();
    void pdfHoldsThePictureAndItsText_data();
    void pdfHoldsThePictureAndItsText();

private:
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    QCPErrorBars *errorBars() const
    {
        for (int i = 0; i < plot->plottableCount(); ++i)
            if (auto *bars = qobject_cast<QCPErrorBars *>(plot->plottable(i)))
                return bars;
        return nullptr;
    }
    void saveGraph(const QString &path)
    {
        testhelpers::answerFileDialog(path);
        window->findChild<QAction *>(QStringLiteral("actionSaveGraph"))->trigger();
    }
    MainWindow *window = nullptr;
    QCustomPlot *plot = nullptr;
    QTemporaryDir dir;
};

void TestGraphView::init()
{
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    QVERIFY(plot);
}

void TestGraphView::cleanup()
{
    delete window;
    window = nullptr;
}

void TestGraphView::setUpTwoGraphs()
{
    // The points, the curve, and the points left out of the fit drawn over their own.
    QCOMPARE(plot->graphCount(), 3);
    QCOMPARE(plot->xAxis->scaleType(), QCPAxis::stLogarithmic);
    QVERIFY(plot->xAxis->ticker().dynamicCast<QCPAxisTickerLog>());
    QCOMPARE(plot->yAxis->scaleType(), QCPAxis::stLinear);

    QCPGraph *points = plot->graph(0);
    QCOMPARE(points->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(points->scatterStyle().shape(), QCPScatterStyle::ssDiamond);
    QCOMPARE(points->scatterStyle().pen().color(), QColor(Qt::blue));
    QCOMPARE(points->scatterStyle().brush().color(), QColor(Qt::white));
    QCOMPARE(points->scatterStyle().size(), 5.0);
    QCOMPARE(points->pen().color(), QColor(Qt::blue));
    QCOMPARE(points->keyAxis(), plot->xAxis);
    QCOMPARE(points->valueAxis(), plot->yAxis);
    QCPErrorBars *bars = errorBars();
    QVERIFY(bars);
    QCOMPARE(bars->dataPlottable(), static_cast<QCPAbstractPlottable *>(points));
    QCOMPARE(bars->errorType(), QCPErrorBars::etValueError);

    QCPGraph *curve = plot->graph(1);
    QCOMPARE(curve->lineStyle(), QCPGraph::lsLine);
    QCOMPARE(curve->scatterStyle().shape(), QCPScatterStyle::ssNone);
    QCOMPARE(curve->pen().color(), QColor(Qt::red));
    QCOMPARE(curve->dataCount(), 0);
}

void TestGraphView::refreshWritesOneDebugLine()
{
    testhelpers::DebugCapture debug;
    window->findChild<QAction *>(QStringLiteral("actionUpdateGraph"))->trigger();
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 1);
    window->findChild<QCheckBox *>(QStringLiteral("cbUseCalibration"))->setChecked(true);
    QCOMPARE(debug.count(QStringLiteral("Update graph")), 2);
    QCOMPARE(debug.lines().size(), 2);
}

void TestGraphView::pointsAndErrorBars()
{
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0);
    addPoint(100, 7, 1);
    QMetaObject::invokeMethod(window, "updateGraph");
    QCPGraph *points = plot->graph(0);
    QCOMPARE(points->dataCount(), 3);
    QCPErrorBars *bars = errorBars();
    QCOMPARE(bars->dataCount(), 3);
    const double keys[] = {1, 10, 100}, values[] = {5, 6, 7}, errors[] = {0.5, 0, 1};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(points->data()->at(i)->key, keys[i]);
        QCOMPARE(points->data()->at(i)->value, values[i]);
        QCOMPARE(bars->data()->at(i).errorMinus, errors[i]);
        QCOMPARE(bars->data()->at(i).errorPlus, errors[i]);
    }
    // Equal distances along the logarithmic axis.
    const double p0 = plot->xAxis->coordToPixel(1), p1 = plot->xAxis->coordToPixel(10),
                 p2 = plot->xAxis->coordToPixel(100);
    QVERIFY(qAbs((p1 - p0) - (p2 - p1)) < 1e-6);

    // A second refresh replaces, not appends.
    QMetaObject::invokeMethod(window, "updateGraph");
    QCOMPARE(points->dataCount(), 3);
    QCOMPARE(bars->dataCount(), 3);

    // Rows in descending X keep their own bars.
    window->findChild<QAction *>(QStringLiteral("actionClear"))->trigger();
    addPoint(100, 7, 1);
    addPoint(10, 6, 0);
    addPoint(1, 5, 0.5);
    QMetaObject::invokeMethod(window, "updateGraph");
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(points->data()->at(i)->key, keys[i]);
        QCOMPARE(points->data()->at(i)->value, values[i]);
        QCOMPARE(bars->data()->at(i).errorPlus, errors[i]);
    }
}

// Thousands of bars in a few hundred pixel columns are drawn column by column, and look as the
// bars drawn one by one do: every pixel either drawing covers, the other covers too, or one next
// to it (the end pixel of a line depends on the direction it is drawn in).
void TestGraphView::denseBarsLookTheSame()
{
    QVector<double> x, y, dy;
    for (int i = 0; i < 5000; ++i) {
        x << 1 + i * 0.02;
        y << std::sin(0.37 * i);
        dy << 0.05 + 0.3 * ((i * 7) % 11) / 11.0;
    }
    QImage images[2];
    for (int dense = 0; dense < 2; ++dense) {
        QCustomPlot bars;
        bars.xAxis->setScaleType(QCPAxis::stLogarithmic);
        QCPGraph *graph = bars.addGraph();
        graph->setLineStyle(QCPGraph::lsNone);
        QCPErrorBars *errors = dense ? new DenseErrorBars(bars.xAxis, bars.yAxis)
                                     : new QCPErrorBars(bars.xAxis, bars.yAxis);
        errors->setAntialiased(false);
        errors->setDataPlottable(graph);
        graph->setData(x, y, true);
        errors->setData(dy);
        bars.rescaleAxes();
        images[dense] = bars.toPixmap(300, 200).toImage();
    }
    const auto black = [](const QImage &image, int column, int row) {
        return image.valid(column, row) && qGray(image.pixel(column, row)) < 128;
    };
    int differing = 0;
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 300; ++column) {
            for (int i = 0; i < 2; ++i) {
                const QImage &other = images[1 - i];
                if (black(images[i], column, row) && !black(other, column, row)) {
                    ++differing;
                    QVERIFY2(black(other, column, row - 1) || black(other, column, row + 1) ||
                                 black(other, column - 1, row) || black(other, column + 1, row),
                             qPrintable(QStringLiteral("%1, %2").arg(column).arg(row)));
                }
            }
        }
    }
    QVERIFY(differing < 300);

    // A plot too small to have an axis rectangle yet draws its bars without trouble.
    QCustomPlot tiny;
    tiny.resize(1, 1);
    auto *errors = new DenseErrorBars(tiny.xAxis, tiny.yAxis);
    errors->setDataPlottable(tiny.addGraph());
    tiny.graph(0)->setData({1, 2, 3}, {1, 2, 3});
    errors->setData(QVector<double>{0.1, 0.2, 0.3});
    tiny.rescaleAxes();
    QVERIFY(!tiny.toPixmap(1, 1).isNull());
}

// The ranges are exactly those of the points with their bars, refresh after refresh. The wheel
// zooms both axes around the pointer, the residual plot's X range follows, and Update Graph
// brings back exactly the full view.
void TestGraphView::rescaleCoversErrorBars()
{
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0);
    addPoint(100, 7, 1);
    for (int refresh = 0; refresh < 3; ++refresh) {
        QMetaObject::invokeMethod(window, "updateGraph");
        QCOMPARE(plot->yAxis->range(), QCPRange(4.5, 8));
        QCOMPARE(plot->xAxis->range(), QCPRange(1, 100));
    }

    plot->replot();
    QVERIFY(plot->interactions().testFlag(QCP::iRangeZoom));
    QVERIFY(plot->interactions().testFlag(QCP::iRangeDrag));
    const QPointF centre = plot->axisRect()->rect().center();
    QWheelEvent wheel(centre, plot->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    QVERIFY(plot->xAxis->range().lower > 1 && plot->xAxis->range().upper < 100);
    QVERIFY(plot->yAxis->range().lower > 4.5 && plot->yAxis->range().upper < 8);
    auto *residuals = window->findChild<QCustomPlot *>(QStringLiteral("wResidualPlot"));
    QCOMPARE(residuals->xAxis->range(), plot->xAxis->range());

    window->findChild<QAction *>(QStringLiteral("actionUpdateGraph"))->trigger();
    QCOMPARE(plot->xAxis->range(), QCPRange(1, 100));
    QCOMPARE(plot->yAxis->range(), QCPRange(4.5, 8));
    QCOMPARE(residuals->xAxis->range(), QCPRange(1, 100));
}

// A curve that no longer matches the table stays, dashed, but the axes follow the points alone.
void TestGraphView::clearKeepsFitCurveAndFitsAxesToIt()
{
    addPoint(1, 5, 0.5);
    addPoint(100, 7, 1);
    QMetaObject::invokeMethod(window, "updateGraph");
    plot->graph(1)->setData({2, 50}, {-3, 3});
    window->findChild<QAction *>(QStringLiteral("actionClear"))->trigger();
    QCOMPARE(plot->graph(0)->dataCount(), 0);
    QCOMPARE(plot->graph(1)->dataCount(), 2);
    QCOMPARE(plot->graph(1)->pen().style(), Qt::DashLine);
    QCOMPARE(plot->xAxis->range(), QCPRange(1, 100));
    QCOMPARE(plot->yAxis->range(), QCPRange(4.5, 8));
}

// With nothing to plot, a refresh leaves the ranges as they were.
void TestGraphView::emptyPlotKeepsRanges()
{
    plot->xAxis->setRange(3, 30);
    plot->yAxis->setRange(-1, 1);
    QMetaObject::invokeMethod(window, "updateGraph");
    QCOMPARE(plot->xAxis->range(), QCPRange(3, 30));
    QCOMPARE(plot->yAxis->range(), QCPRange(-1, 1));
}

// Under any locale the labels are plain numbers ("10000", never "10,000"). On both axes, at any
// size of the plot, neighbouring labels keep the gap of a letter ('M' across, a third of a line
// up and down) between them, each label reads back as its own tick, and an axis uses one
// notation: all powers of ten or none. A logarithmic axis zoomed within a decade or two keeps
// two labels.
void TestGraphView::tickLabelsArePlainAndApart()
{
    QCustomPlot tiny;
    tiny.setLocale(NumberText::locale());
    tiny.xAxis->setScaleType(QCPAxis::stLogarithmic);
    PlainTicks<QCPAxisTickerLog>::install(tiny.xAxis);
    PlainTicks<QCPAxisTicker>::install(tiny.yAxis);
    const QFontMetricsF metrics(tiny.xAxis->tickLabelFont());
    // X ranges on the logarithmic axis with Y ranges on the linear one: a span of 5 kHz at
    // 2.1 GHz, decades across 1e6, values below 1e-4.
    const QVector<QPair<QCPRange, QCPRange>> ranges = {{{1e3, 1e6}, {0, 30000}},
                                                       {{2, 5}, {-3e7, 5e7}},
                                                       {{1.5, 90}, {2.1e9 - 2500, 2.1e9 + 2500}},
                                                       {{20, 2000}, {-1e-5, 1e-5}},
                                                       {{2.1e9 - 2500, 2.1e9 + 2500}, {0.25, 1.75}},
                                                       {{1e3, 1e8}, {-12.5, 0.5}},
                                                       {{1e-6, 1e-2}, {999990, 1000010}}};
    for (const QSize &size : {QSize(90, 90), QSize(160, 150), QSize(300, 240), QSize(800, 500)}) {
        for (const auto &range : ranges) {
            tiny.resize(size);
            tiny.xAxis->setRange(range.first);
            tiny.yAxis->setRange(range.second);
            tiny.replot();
            for (QCPAxis *axis : {tiny.xAxis, tiny.yAxis}) {
                const bool horizontal = axis == tiny.xAxis;
                const double gap =
                    horizontal ? metrics.horizontalAdvance(QLatin1Char('M')) : metrics.height() / 3;
                const QVector<double> ticks = axis->tickVector();
                const QVector<QString> labels = axis->tickVectorLabels();
                const QString all = QStringList(labels.toList()).join(QLatin1Char(' '));
                const QString where =
                    QStringLiteral("%1 × %2: ").arg(size.width()).arg(size.height()) + all;
                int inView = 0;
                int powers = 0;
                double lastEnd = -1e9;
                for (int i = 0; i < ticks.size(); ++i) {
                    QVERIFY2(!labels[i].contains(QLatin1Char(',')), qPrintable(where));
                    inView += axis->range().contains(ticks[i]) ? 1 : 0;
                    powers += labels[i].contains(QLatin1Char('e')) ? 1 : 0;
                    const double step =
                        i > 0 ? ticks[i] - ticks[i - 1] : ticks.value(1, 2 * ticks[0]) - ticks[0];
                    QVERIFY2(std::fabs(labels[i].toDouble() - ticks[i]) <= 1e-6 * std::fabs(step),
                             qPrintable(where));
                    const double at = axis->coordToPixel(ticks[i]);
                    const double half =
                        (horizontal ? metrics.horizontalAdvance(labels[i]) : metrics.height()) / 2;
                    // Up the Y axis the pixel coordinate falls.
                    const double start = horizontal ? at - half : -at - half;
                    QVERIFY2(start >= lastEnd + gap, qPrintable(where));
                    lastEnd = start + 2 * half;
                }
                if (size.width() == 800)
                    qInfo() << all;
                const int zeros = static_cast<int>(
                    std::count_if(labels.begin(), labels.end(),
                                  [](const QString &label) { return label.toDouble() == 0; }));
                QVERIFY2(powers == 0 || powers + zeros == labels.size(), qPrintable(where));
                QVERIFY2(!horizontal || inView >= 2 || size.width() < 160, qPrintable(where));
            }
        }
    }
}

void TestGraphView::exportsByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("jpg") << "graph.jpg" << QByteArray("jpeg");
    QTest::newRow("upper-case PNG") << "graph.PNG" << QByteArray("png");
    QTest::newRow("bmp") << "graph.bmp" << QByteArray("bmp");
    QTest::newRow("pdf") << "graph.pdf" << QByteArray("pdf");
    QTest::newRow("dots in the name") << "my.graph.v2.png" << QByteArray("png");
    QTest::newRow("svg") << "graph.svg" << QByteArray("svg");
}

void TestGraphView::exportsByExtension()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0);
    QMetaObject::invokeMethod(window, "updateGraph");
    // The export replaces an older file of that name (the dialog asks first) and keeps its
    // permissions; nothing else is left in the folder.
    QTemporaryDir folder;
    const QString path = testhelpers::writeFile(folder.filePath(name), "old");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    testhelpers::answerFileDialog(path);
    testhelpers::answerReplace();
    window->findChild<QAction *>(QStringLiteral("actionSaveGraph"))->trigger();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList(name));
    QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::ReadUser | QFile::WriteUser);
    if (format == "pdf") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
    } else if (format == "svg") {
        // Well-formed, the size of the plot, with the tick labels as text.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name().toString(), QStringLiteral("svg"));
        QCOMPARE(xml.attributes().value(QStringLiteral("viewBox")).toString(),
                 QStringLiteral("0 0 %1 %2").arg(plot->width()).arg(plot->height()));
        int texts = 0;
        while (!xml.atEnd())
            texts += xml.readNext() == QXmlStreamReader::StartElement &&
                     xml.name() == QLatin1String("text");
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(texts >= 3);
    } else {
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QCOMPARE(image.size(), plot->size());
    }
}

void TestGraphView::namesThatWriteNothing_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    const QString extensions = QStringLiteral(": use the extension .jpg, .png, .bmp, .pdf or .svg");
    QTest::newRow("dot only in a folder name") << "data.old"
                                               << "graph" << extensions;
    QTest::newRow("jpeg is not jpg") << ""
                                     << "graph.jpeg" << extensions;
    QTest::newRow("xyz") << ""
                         << "graph.xyz" << extensions;
    QTest::newRow("no dot at all") << ""
                                   << "graph" << extensions;
    QTest::newRow("folder that does not exist") << ""
                                                << "missing/graph.png"
                                                << ": No such file or directory";
}

// Nothing is written, a warning box and the status bar say why, and the next export that works
// takes the message away.
void TestGraphView::namesThatWriteNothing()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir empty;
    QDir base(empty.path());
    if (!folder.isEmpty())
        QVERIFY(base.mkdir(folder));
    const QString target =
        folder.isEmpty() ? base.filePath(name) : base.filePath(folder + "/" + name);
    QString warning;
    testhelpers::answerWarning(&warning);
    saveGraph(target);
    QCOMPARE(warning, "Could not save graph " + target + reason);
    QStringList written;
    QDirIterator it(empty.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << it.next();
    QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
    QCOMPARE(window->statusBar()->currentMessage(), "Could not save graph " + target + reason);

    saveGraph(base.filePath(QStringLiteral("good.png")));
    QVERIFY(QFile::exists(base.filePath(QStringLiteral("good.png"))));
    QCOMPARE(window->statusBar()->currentMessage(), QString());
}

void TestGraphView::cancelledExportWritesNothing()
{
    const QString cwd = QDir::currentPath();
    QTemporaryDir empty;
    QDir::setCurrent(empty.path());
    testhelpers::cancelFileDialog();
    window->findChild<QAction *>(QStringLiteral("actionSaveGraph"))->trigger();
    QDir::setCurrent(cwd);
    QVERIFY(QDir(empty.path()).entryList(QDir::Files).isEmpty());
}

void TestGraphView::pdfHoldsThePictureAndItsText_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::newRow("plain numbers") << QVector<double>{1, 10, 100} << QVector<double>{5, 6, 7};
    QTest::newRow("powers of ten")
        << QVector<double>{2e3, 3e5, 8e8} << QVector<double>{-3e7, 1e7, 5e7};
}

// SaveGraph to a PDF gives a page the size of the plot on the screen, drawn at the screen's
// resolution, whose text is text: every tick label drawn whole on the screen is read back by
// pdftotext at its tick, on both axes (a power of ten as its base and raised exponent, "10"
// and "6" for 1e+06 on the logarithmic axis, "4·10" and "7" for 4e+07).
void TestGraphView::pdfHoldsThePictureAndItsText()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the text of the PDF cannot be read");
    for (int i = 0; i < x.size(); ++i)
        addPoint(x[i], y[i], 0);
    QMetaObject::invokeMethod(window, "updateGraph");
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("graph.pdf"));
    saveGraph(path);
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(30000));
    const QString html = QString::fromUtf8(pdftotext.readAllStandardOutput());

    // Whole points: within a pixel of the plot's size.
    const double toPixels = plot->logicalDpiX() / 72.0;
    const QRegularExpressionMatch page =
        QRegularExpression(QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""))
            .match(html);
    QVERIFY(std::fabs(page.captured(1).toDouble() * toPixels - plot->width()) <= 1);
    QVERIFY(std::fabs(page.captured(2).toDouble() * toPixels - plot->height()) <= 1);

    QVector<QPair<QRectF, QString>> words;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" "
                                          "xMax=\"([-0-9.]+)\" yMax=\"([-0-9.]+)\">([^<]*)<"))
            .globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        words.append({QRectF(from * toPixels, to * toPixels), m.captured(5)});
    }
    const QRect inside = plot->axisRect()->rect();
    const QFontMetricsF metrics(plot->xAxis->tickLabelFont());
    int found = 0;
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
        const bool horizontal = axis->orientation() == Qt::Horizontal;
        for (int i = 0; i < axis->tickVector().size(); ++i) {
            QString text = axis->tickVectorLabels()[i];
            text.replace(QRegularExpression(QStringLiteral("e\\+?(-?)0*(\\d)")), "·10\\1\\2");
            if (horizontal && text.startsWith(QStringLiteral("1·10")))
                text.remove(0, 2);
            const double at = axis->coordToPixel(axis->tickVector()[i]);
            const double half =
                (horizontal ? metrics.horizontalAdvance(text) : metrics.height()) / 2;
            if (at - half < 0 || at + half > (horizontal ? plot->width() : plot->height()))
                continue;
            QString read;
            for (const auto &word : qAsConst(words)) {
                const QPointF centre = word.first.center();
                if (horizontal
                        ? word.first.top() > inside.bottom() &&
                              std::fabs(centre.x() - at) < half + 2
                        : word.first.right() < inside.left() && std::fabs(centre.y() - at) < half)
                    read += word.second;
            }
            QCOMPARE(read, text);
            ++found;
        }
    }
    QVERIFY(found >= 5);
}

VANTOREL_TEST_MAIN(TestGraphView)
#include "tst_graphview.moc"
