// The publishable plot: axis titles, the legend, Copy Graph and the Export Graph dialog with its
// page size, resolution, text size, residual plot and vector formats.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "plot/graphexport.h"
#include "plot/pointswithbars.h"
#include "testhelpers.h"

namespace {

// The settings of one export through the dialog.
struct ExportSettings
{
    QString format = QStringLiteral("PNG");
    QString unit = QStringLiteral("px");
    double width = 0;
    double height = 0;
    int dpi = 300;
    double fontPt = 0;
    bool residuals = false;
};

// What an SVG holds: its root's width and height, the text of its text elements, the font
// sizes they are drawn in, and how many elements of each kind it has.
struct SvgContents
{
    QString width;
    QString height;
    double viewBoxWidth = 0;
    QStringList texts;
    QStringList fontSizes;
    QMap<QString, int> elements;
    int redShapes = 0;
};

SvgContents readSvg(const QByteArray &bytes)
{
    SvgContents svg;
    QXmlStreamReader xml(bytes);
    // The font size and the stroke each element inherits.
    QStringList fontSize{QString()};
    QStringList stroke{QString()};
    const auto inherited = [](QStringList &stack, const QXmlStreamAttributes &attributes,
                              const QString &name) {
        stack.append(attributes.hasAttribute(name) ? attributes.value(name).toString()
                                                   : stack.last());
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes attributes = xml.attributes();
            const QString name = xml.name().toString();
            ++svg.elements[name];
            if (name == QLatin1String("svg") && svg.width.isEmpty()) {
                svg.width = attributes.value(QStringLiteral("width")).toString();
                svg.height = attributes.value(QStringLiteral("height")).toString();
                const QStringList box =
                    attributes.value(QStringLiteral("viewBox")).toString().split(' ');
                svg.viewBoxWidth = box.size() == 4 ? box[2].toDouble() : 0;
            }
            inherited(fontSize, attributes, QStringLiteral("font-size"));
            inherited(stroke, attributes, QStringLiteral("stroke"));
            if (stroke.last() == QLatin1String("#ff0000") &&
                QStringList({"path", "polyline", "polygon", "line"}).contains(name))
                ++svg.redShapes;
            if (name == QLatin1String("text")) {
                svg.fontSizes << fontSize.last();
                svg.texts << xml.readElementText(QXmlStreamReader::IncludeChildElements);
                fontSize.removeLast();
                stroke.removeLast();
            }
        } else if (xml.isEndElement()) {
            fontSize.removeLast();
            stroke.removeLast();
        }
    }
    if (xml.hasError())
        svg.texts = QStringList{QStringLiteral("XML error: ") + xml.errorString()};
    return svg;
}

// The SVG file at path read as an SVG reader reads it; nothing when it cannot be read.
SvgContents readSvgFile(const QString &path)
{
    QFile file(path);
    return readSvg(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}

// The text of a PDF with the size of its page and of every word, in points.
QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    pdftotext.waitForFinished(30000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class TestGraphExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void titlesGoIntoEveryExport_data();
    void titlesGoIntoEveryExport();
    void legendNamesTheFit();
    void legendAvoidsThePoints_data();
    void legendAvoidsThePoints();
    void pageSizeResolutionAndText_data();
    void pageSizeResolutionAndText();
    void residualsStackUnderThePlot();
    void failedExportKeepsTheDialog_data();
    void failedExportKeepsTheDialog();
    void manyPointsStayVectors();
    void copyGraphIsTwiceAsSharp();

private:
    void addPoint(double x, double y, double dy)
    {
        QVERIFY(QMetaObject::invokeMethod(window, "addPoint", Q_ARG(double, x), Q_ARG(double, y),
                                          Q_ARG(double, dy)));
    }
    void addFittedPoints();
    QAction *action(const char *name) const
    {
        return window->findChild<QAction *>(QLatin1String(name));
    }
    QCustomPlot *residualPlot() const
    {
        return window->findChild<QCustomPlot *>(QStringLiteral("wResidualPlot"));
    }
    // Exports through the Export Graph dialog; *shown gets the preview it showed.
    void exportGraph(const ExportSettings &settings, const QString &path, QPixmap *shown = nullptr);
    MainWindow *window = nullptr;
    QCustomPlot *plot = nullptr;
    std::unique_ptr<QTemporaryDir> folder;
    QDir dir;
};

void TestGraphExport::init()
{
    folder.reset(new QTemporaryDir);
    dir = QDir(folder->path());
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    plot = window->findChild<QCustomPlot *>(QStringLiteral("wPlot"));
    QVERIFY(plot);
}

void TestGraphExport::cleanup()
{
    delete window;
    window = nullptr;
}

// An IF band roll-off of twelve points, fitted with the first method.
void TestGraphExport::addFittedPoints()
{
    for (int i = 0; i < 12; ++i) {
        const double x = std::pow(10.0, 0.25 * i);
        addPoint(x, -10 * std::log10(1 + std::pow(x / 40, 2)) + 0.1 * (i % 3), 0.2);
    }
    QMetaObject::invokeMethod(window, "updateGraph");
    window->findChild<QPushButton *>(QStringLiteral("pbCalculate"))->click();
    QVERIFY(testhelpers::waitForWorkBesideWindow(window));
}

void TestGraphExport::exportGraph(const ExportSettings &settings, const QString &path,
                                  QPixmap *shown)
{
    testhelpers::answerModal([&](QWidget *modal) {
        if (modal->objectName() != QLatin1String("ExportGraphDialog"))
            return false;
        modal->findChild<QComboBox *>(QStringLiteral("cbExportFormat"))
            ->setCurrentText(settings.format);
        modal->findChild<QComboBox *>(QStringLiteral("cbExportUnit"))
            ->setCurrentText(settings.unit);
        if (settings.width > 0) {
            modal->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportWidth"))
                ->setValue(settings.width);
            modal->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportHeight"))
                ->setValue(settings.height);
        }
        modal->findChild<QSpinBox *>(QStringLiteral("sbExportDpi"))->setValue(settings.dpi);
        if (settings.fontPt > 0)
            modal->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportFontPt"))
                ->setValue(settings.fontPt);
        modal->findChild<QCheckBox *>(QStringLiteral("cbExportResiduals"))
            ->setChecked(settings.residuals);
        modal->findChild<QLineEdit *>(QStringLiteral("leExportFile"))->setText(path);
        QCoreApplication::processEvents();
        if (shown) {
            auto *preview = modal->findChild<QLabel *>(QStringLiteral("lbExportPreview"));
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            *shown = preview->pixmap();
#else
            *shown = preview->pixmap(Qt::ReturnByValue);
#endif
        }
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        return true;
    });
    action("actionExportGraph")->trigger();
}

void TestGraphExport::titlesGoIntoEveryExport_data()
{
    QTest::addColumn<bool>("byDialog");
    QTest::newRow("Titles dialog") << true;
    QTest::newRow("double-click on the axes") << false;
}

// Titles set either way reach the plot, the residual plot, and the PNG (pixels differ in the
// margins only), PDF and SVG exports (as text).
void TestGraphExport::titlesGoIntoEveryExport()
{
    QFETCH(bool, byDialog);
    // No titles and no legend at start: the plot looks as it always did.
    QCOMPARE(plot->xAxis->label() + plot->yAxis->label(), QString());
    QCOMPARE(plot->plotLayout()->rowCount(), 1);
    QVERIFY(!plot->legend->visible());
    QCOMPARE(residualPlot()->yAxis->label(), QStringLiteral("Y − model"));
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0.2);
    addPoint(100, 7, 1);
    QMetaObject::invokeMethod(window, "updateGraph");
    const ExportSettings png;
    exportGraph(png, dir.filePath(QStringLiteral("plain.png")));
    const QImage plain(dir.filePath(QStringLiteral("plain.png")));
    QVERIFY(!plain.isNull());

    const QString titleX = QStringLiteral("Frequency (MHz)");
    const QString titleY = QStringLiteral("Level (dB)");
    const QString above = byDialog ? QStringLiteral("Sweep seven") : QString();
    if (byDialog) {
        testhelpers::setGraphTitles(window, titleX, titleY, above);
    } else {
        const QRect inside = plot->axisRect()->rect();
        for (const QString &title : {titleX, titleY}) {
            testhelpers::answerModal([&](QWidget *modal) {
                auto *input = qobject_cast<QInputDialog *>(modal);
                if (!input)
                    return false;
                input->setTextValue(title);
                modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
                return true;
            });
            const QPoint onAxis = title == titleX ? QPoint(inside.center().x(), inside.bottom() + 8)
                                                  : QPoint(inside.left() - 8, inside.center().y());
            QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, onAxis);
        }
    }
    QCOMPARE(plot->xAxis->label(), titleX);
    QCOMPARE(plot->yAxis->label(), titleY);
    QCOMPARE(residualPlot()->xAxis->label(), titleX);
    QCOMPARE(residualPlot()->yAxis->label(), QStringLiteral("Level (dB) − model"));
    QCOMPARE(plot->plotLayout()->rowCount(), byDialog ? 2 : 1);

    exportGraph(png, dir.filePath(QStringLiteral("titled.png")));
    const QImage titled(dir.filePath(QStringLiteral("titled.png")));
    QCOMPARE(titled.size(), plain.size());
    // The left margin (Y title) and the bottom margin (X title) differ.
    const auto differs = [&](const QRect &area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (plain.pixel(x, y) != titled.pixel(x, y))
                    return true;
        return false;
    };
    QVERIFY(differs(QRect(0, 0, 40, plain.height())));
    QVERIFY(differs(QRect(0, plain.height() - 60, plain.width(), 60)));

    ExportSettings svg;
    svg.format = QStringLiteral("SVG");
    exportGraph(svg, dir.filePath(QStringLiteral("titled.svg")));
    const QStringList texts = readSvgFile(dir.filePath(QStringLiteral("titled.svg"))).texts;
    QVERIFY2(texts.contains(titleX) && texts.contains(titleY), qPrintable(texts.join('|')));
    QCOMPARE(texts.contains(above), byDialog);

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the text of the PDF cannot be read");
    ExportSettings pdf;
    pdf.format = QStringLiteral("PDF");
    exportGraph(pdf, dir.filePath(QStringLiteral("titled.pdf")));
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {dir.filePath(QStringLiteral("titled.pdf")), QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QVERIFY2(text.contains(titleX) && text.contains(titleY), qPrintable(text));
    QCOMPARE(text.contains(QStringLiteral("Sweep seven")), byDialog);
}

// The legend names the points and the fit with A and Fc as the report gives them, and marks the
// fit stale once the table changes; in the SVG the curve stays one red line.
void TestGraphExport::legendNamesTheFit()
{
    addFittedPoints();
    action("actionGraphLegend")->trigger();
    QVERIFY(plot->legend->visible());
    QCOMPARE(plot->legend->itemCount(), 2);
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("Measured points"));
    const QRegularExpressionMatch status =
        QRegularExpression(QStringLiteral("A = (\\S+); Fc = (\\S+);"))
            .match(window->statusBar()->currentMessage());
    QVERIFY(status.hasMatch());
    const QString name = plot->graph(1)->name();
    QVERIFY2(
        name.startsWith(
            QStringLiteral("Fit: ") +
            window->findChild<QComboBox *>(QStringLiteral("cbCalculationType"))->currentText()),
        qPrintable(name));
    QVERIFY2(QRegularExpression(QStringLiteral("\\nA = %1 ± \\d[^\\n]*\\nFc = %2 ± \\d")
                                    .arg(QRegularExpression::escape(status.captured(1)),
                                         QRegularExpression::escape(status.captured(2))))
                 .match(name)
                 .hasMatch(),
             qPrintable(name));
    QVERIFY(!name.contains(QStringLiteral("changed")));

    ExportSettings svg;
    svg.format = QStringLiteral("SVG");
    exportGraph(svg, dir.filePath(QStringLiteral("fit.svg")));
    const SvgContents contents = readSvgFile(dir.filePath(QStringLiteral("fit.svg")));
    QVERIFY(contents.texts.contains(QStringLiteral("Measured points")));
    // One line for the curve and one for its sample in the legend.
    QCOMPARE(contents.redShapes, 2);
    // On a narrow page the method's name breaks after a "; ", so that the legend leaves the
    // curve room; the plot keeps its name on one line.
    svg.unit = QStringLiteral("mm");
    svg.width = 50;
    svg.height = 40;
    svg.fontPt = 8;
    exportGraph(svg, dir.filePath(QStringLiteral("column.svg")));
    const QStringList texts = readSvgFile(dir.filePath(QStringLiteral("column.svg"))).texts;
    QVERIFY2(texts.contains(QStringLiteral("Fit: 1-Time;")) &&
                 texts.contains(QStringLiteral("2-Log Scale")),
             qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(plot->graph(1)->name(), name);

    addPoint(1000, -20, 0.2);
    QVERIFY2(plot->graph(1)->name().contains(QStringLiteral("(table changed since)")),
             qPrintable(plot->graph(1)->name()));
    action("actionGraphLegend")->trigger();
    QVERIFY(!plot->legend->visible());
}

void TestGraphExport::legendAvoidsThePoints_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("corner");
    QTest::newRow("rising: top left") << 0.0 << 10.0 << int(Qt::AlignTop | Qt::AlignLeft);
    QTest::newRow("falling: top right") << 10.0 << 0.0 << int(Qt::AlignTop | Qt::AlignRight);
}

void TestGraphExport::legendAvoidsThePoints()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, corner);
    for (int i = 0; i <= 40; ++i)
        addPoint(std::pow(10.0, i / 10.0), from + (to - from) * i / 40, 0);
    QMetaObject::invokeMethod(window, "updateGraph");
    action("actionGraphLegend")->trigger();
    QCOMPARE(int(plot->axisRect()->insetLayout()->insetAlignment(0)), corner);
}

void TestGraphExport::pageSizeResolutionAndText_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<double>("fontPt");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("PNG, journal column at 300 dpi")
        << "PNG"
        << "mm" << 85.0 << 60.0 << 300 << 8.0 << QSize(1004, 709);
    QTest::newRow("JPEG in inches at 150 dpi")
        << "JPEG"
        << "in" << 4.0 << 3.0 << 150 << 10.0 << QSize(600, 450);
    QTest::newRow("BMP in pixels of the screen, 72 dpi")
        << "BMP"
        << "px" << 480.0 << 240.0 << 72 << 9.0 << QSize(1, 1);
    QTest::newRow("PDF, journal column") << "PDF"
                                         << "mm" << 85.0 << 60.0 << 300 << 8.0 << QSize();
    QTest::newRow("PDF, large text") << "PDF"
                                     << "mm" << 85.0 << 60.0 << 300 << 14.0 << QSize();
    QTest::newRow("SVG, journal column") << "SVG"
                                         << "mm" << 85.0 << 60.0 << 300 << 8.0 << QSize();
    QTest::newRow("SVG in inches") << "SVG"
                                   << "in" << 4.0 << 3.0 << 300 << 12.0 << QSize();
}

// A raster image has the pixels of its size at its resolution and carries that resolution; a PDF
// page and an SVG picture have the size asked for, with text at the point size chosen.
void TestGraphExport::pageSizeResolutionAndText()
{
    QFETCH(QString, format);
    QFETCH(QString, unit);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(int, dpi);
    QFETCH(double, fontPt);
    QFETCH(QSize, pixels);
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0.2);
    addPoint(100, 7, 1);
    QMetaObject::invokeMethod(window, "updateGraph");
    const QString extension = format == QLatin1String("JPEG") ? "jpg" : format.toLower();
    const QString path = dir.filePath(QStringLiteral("page.") + extension);
    QPixmap preview;
    exportGraph({format, unit, width, height, dpi, fontPt, false}, path, &preview);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    // The preview shows the page with its aspect.
    QVERIFY(!preview.isNull());
    QVERIFY(std::fabs(double(preview.width()) / preview.height() - width / height) < 0.02);

    const double toMm = unit == QLatin1String("in") ? 25.4 : 1.0;
    if (unit == QLatin1String("px"))
        pixels = QSize(int(std::lround(width * dpi / plot->logicalDpiX())),
                       int(std::lround(height * dpi / plot->logicalDpiX())));
    if (pixels.isValid()) {
        const QImage image(path);
        QCOMPARE(image.size(), pixels);
        QCOMPARE(std::lround(image.dotsPerMeterX() * 0.0254), long(dpi));
        return;
    }
    if (format == QLatin1String("SVG")) {
        const SvgContents svg = readSvgFile(path);
        QCOMPARE(svg.width, QString::number(width * toMm, 'g', 8) + "mm");
        QCOMPARE(svg.height, QString::number(height * toMm, 'g', 8) + "mm");
        QVERIFY(svg.texts.size() >= 5);
        QStringList sizes = svg.fontSizes;
        sizes.removeDuplicates();
        QCOMPARE(sizes.size(), 1);
        // In the units of the view box, which spans the page's width.
        const double points =
            sizes.first().toDouble() * width * toMm / 25.4 * 72 / svg.viewBoxWidth;
        QVERIFY2(std::fabs(points - fontPt) < 0.02 * fontPt, qPrintable(QString::number(points)));
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the PDF cannot be read");
    const QString html = pdfText(path);
    const QRegularExpressionMatch page =
        QRegularExpression(QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""))
            .match(html);
    QVERIFY(page.hasMatch());
    // The page size is written in whole points.
    QVERIFY(std::fabs(page.captured(1).toDouble() - width * toMm / 25.4 * 72) <= 0.5);
    QVERIFY(std::fabs(page.captured(2).toDouble() - height * toMm / 25.4 * 72) <= 0.5);
    // A word's box is its font's ascent and descent: a little more than its point size.
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("yMin=\"([-0-9.]+)\" xMax=\"[-0-9.]+\" "
                                          "yMax=\"([-0-9.]+)\""))
            .globalMatch(html);
    int words = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const double wordHeight = m.captured(2).toDouble() - m.captured(1).toDouble();
        QVERIFY2(wordHeight > fontPt && wordHeight < 1.3 * fontPt,
                 qPrintable(QString::number(wordHeight)));
        ++words;
    }
    QVERIFY(words >= 5);
}

// The residual plot stands under the main plot in the picture, with the same left and right
// edges of its axis rectangle.
void TestGraphExport::residualsStackUnderThePlot()
{
    addFittedPoints();
    ExportSettings svg;
    svg.format = QStringLiteral("SVG");
    svg.residuals = true;
    exportGraph(svg, dir.filePath(QStringLiteral("stacked.svg")));
    QVERIFY(readSvgFile(dir.filePath(QStringLiteral("stacked.svg")))
                .texts.contains(QStringLiteral("Y − model")));

    // On a journal column the residual plot's Y axis is shorter than "Level (dB) − model": the
    // title is written on two lines there, whole, and stays one line on the screen.
    testhelpers::setGraphTitles(window, QString(), QStringLiteral("Level (dB)"));
    svg.unit = QStringLiteral("mm");
    svg.width = 85;
    svg.height = 60;
    svg.fontPt = 8;
    exportGraph(svg, dir.filePath(QStringLiteral("column.svg")));
    const QStringList texts = readSvgFile(dir.filePath(QStringLiteral("column.svg"))).texts;
    QVERIFY2(texts.contains(QStringLiteral("− model")) &&
                 texts.count(QStringLiteral("Level (dB)")) == 2,
             qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(residualPlot()->yAxis->label(), QStringLiteral("Level (dB) − model"));

    // Drawn directly, the two axis rectangles share their left and right edges.
    GraphExport::Page page;
    page.size = QSizeF(120, 90);
    page.unit = GraphExport::Millimetre;
    page.dpi = 200;
    page.residuals = residualPlot();
    QRect main;
    QRect residuals;
    QObject guard;
    connect(plot, &QCustomPlot::afterLayout, &guard, [&] { main = plot->axisRect()->rect(); });
    connect(residualPlot(), &QCustomPlot::afterLayout, &guard,
            [&] { residuals = residualPlot()->axisRect()->rect(); });
    const QRect onScreen = plot->axisRect()->rect();
    const QImage image = GraphExport::image(plot, page);
    QCOMPARE(image.size(), QSize(945, 709));
    QVERIFY(main.isValid() && residuals.isValid());
    QCOMPARE(residuals.left(), main.left());
    QCOMPARE(residuals.right(), main.right());
    // The plots are laid out on the screen again afterwards.
    QCOMPARE(plot->axisRect()->rect(), onScreen);
}

void TestGraphExport::failedExportKeepsTheDialog_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("widthMm");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder that does not exist")
        << "missing/graph.png" << 85.0 << "No such file or directory";
    QTest::newRow("picture too large to draw")
        << "huge.png" << 2000.0 << "the plot could not be drawn";
}

// A file that cannot be written, or a picture too large to draw, is reported in a warning, and
// the dialog stays open with its settings; nothing is written.
void TestGraphExport::failedExportKeepsTheDialog()
{
    QFETCH(QString, name);
    QFETCH(double, widthMm);
    QFETCH(QString, reason);
    QString warning;
    bool stillOpen = false;
    testhelpers::answerModal([&](QWidget *modal) {
        if (modal->objectName() != QLatin1String("ExportGraphDialog"))
            return false;
        modal->findChild<QComboBox *>(QStringLiteral("cbExportUnit"))->setCurrentText("mm");
        modal->findChild<QDoubleSpinBox *>(QStringLiteral("sbExportWidth"))->setValue(widthMm);
        modal->findChild<QSpinBox *>(QStringLiteral("sbExportDpi"))->setValue(1200);
        modal->findChild<QLineEdit *>(QStringLiteral("leExportFile"))->setText(dir.filePath(name));
        testhelpers::answerWarning(&warning);
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        stillOpen = modal->isVisible();
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
        return true;
    });
    action("actionExportGraph")->trigger();
    QVERIFY(stillOpen);
    QCOMPARE(warning, "Could not export graph " + dir.filePath(name) + ": " + reason);
    QVERIFY(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

// A hundred thousand points with their bars go into an SVG as vector shapes, one for every point,
// and not as an image.
void TestGraphExport::manyPointsStayVectors()
{
    QCustomPlot standalone;
    standalone.resize(600, 400);
    standalone.xAxis->setScaleType(QCPAxis::stLogarithmic);
    QCPGraph *graph = PointsWithBars::add(&standalone);
    const int n = 100000;
    QVector<double> x(n), y(n), dy(n, 0.5);
    for (int i = 0; i < n; ++i) {
        x[i] = std::pow(10.0, 3.0 * i / n);
        y[i] = std::sin(i * 0.001) * 10;
    }
    PointsWithBars::set(graph, x, y, dy);
    standalone.rescaleAxes();
    standalone.replot();
    GraphExport::Page page = GraphExport::screenPage(&standalone);
    const SvgContents svg = readSvg(GraphExport::render(&standalone, GraphExport::Svg, page));
    QCOMPARE(svg.elements.value(QStringLiteral("image")), 0);
    const int shapes = svg.elements.value(QStringLiteral("path")) +
                       svg.elements.value(QStringLiteral("polygon")) +
                       svg.elements.value(QStringLiteral("polyline"));
    QVERIFY2(shapes >= n, qPrintable(QString::number(shapes)));
}

// Copy Graph puts the plot on the clipboard at twice the pixels of the screen.
void TestGraphExport::copyGraphIsTwiceAsSharp()
{
    addPoint(1, 5, 0.5);
    addPoint(10, 6, 0.2);
    QMetaObject::invokeMethod(window, "updateGraph");
    QGuiApplication::clipboard()->clear();
    action("actionCopyGraph")->trigger();
    const QImage image = QGuiApplication::clipboard()->image();
    QCOMPARE(image.size(), plot->size() * 2);
}

VANTOREL_TEST_MAIN(TestGraphExport)
#include "tst_graphexport.moc"
