#include "app/fitreportwidget.h"

#include <QClipboard>
#include <QDockWidget>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
#include "data/replacingfile.h"
#include "plot/plainticks.h"
#include "plot/pointswithbars.h"
#include "regression/cfitstatistics.h"
#include "regression/fitjob.h"
#include "regression/regressionmethods.h"
#include "ui_fitreportwidget.h"

FitReportWidget::FitReportWidget(QWidget *parent) : QWidget(parent), ui(new Ui::FitReportWidget)
{
    ui->setupUi(this);
    ui->twFitRecord->setColumnCount(FitRecord::header().size());
    ui->twFitRecord->setHorizontalHeaderLabels(FitRecord::header());
    ui->twFitRecord->verticalHeader()->setVisible(false);

    QCustomPlot *plot = ui->wResidualPlot;
    plot->setLocale(NumberText::locale());
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    PlainTicks<QCPAxisTickerLog>::install(plot->xAxis);
    PlainTicks<QCPAxisTicker>::install(plot->yAxis);
    plot->yAxis->setLabel(tr("Y − model"));
    PointsWithBars::add(plot);
    auto *zero = new QCPItemStraightLine(plot);
    zero->point1->setCoords(1, 0);
    zero->point2->setCoords(10, 0);
    zero->setPen(QPen(Qt::gray, 0, Qt::DashLine));
    plot->installEventFilter(this);
    // The summary is laid out anew whenever the width in view changes.
    ui->saFitReport->viewport()->installEventFilter(this);
}

QSize FitReportWidget::sizeHint() const
{
    return QSize(340, 360);
}

FitReportWidget::~FitReportWidget()
{
    delete ui;
}

// Numbers as the status bar shows them: 6 significant digits; a dash for what is not defined.
static QString shown(double value)
{
    return NumberText::fromDouble(value, 6, QStringLiteral("—"));
}

// Standard errors and distances in σ: three significant digits are enough to judge by.
static QString brief(double value)
{
    return NumberText::fromDouble(value, 3, QStringLiteral("—"));
}

static QString pointCount(int count, int of, const QString &why)
{
    return FitReportWidget::tr("%1 of %2 points left out: %3").arg(count).arg(of).arg(why);
}

FitRecord FitReportWidget::recordOf(const FitJob &job, const FitOrigin &origin)
{
    const FitJob::Parameters &p = job.shown();
    FitRecord record;
    record.method = job.method();
    record.points = job.usedPoints();
    record.A = p.A;
    record.Fc = p.Fc;
    record.Fb = p.fbFound ? p.Fb : std::nan("");
    record.Ft = p.ftFound ? p.Ft : std::nan("");
    record.sigmaA = job.sigmaA();
    record.sigmaFc = job.sigmaFc();
    record.reducedChiSquare = job.reducedChiSquare();
    record.steps = job.steps();
    record.end = !job.undefinedReason().isEmpty() ? FitRecord::Undefined
                 : job.stepLimitReached()         ? FitRecord::StepLimit
                                                  : FitRecord::Converged;
    record.refined = job.refined();
    record.origin = origin;
    record.fitFrom = job.options().from;
    record.fitTo = job.options().to;
    record.leftOut = job.leftOutRows();
    if (job.options().held != cFitStatistics::NoneHeld)
        record.fixed = (job.options().held == cFitStatistics::AHeld ? QStringLiteral("A=")
                                                                    : QStringLiteral("Fc=")) +
                       NumberText::fromDouble(job.options().heldValue, 10, QString());
    record.correlation = job.correlation();
    record.absoluteSigma = job.absoluteSigma();
    return record;
}

// The summary is a grid of name-value pairs laid out to the width in view (arrangeSummary); the
// notes below it wrap between words. σ, χ² and the residual variance are those of the
// least-squares minimum, where their formula holds.
void FitReportWidget::showFit(const FitJob &job, const QString &methodName,
                              const QString &extrapolation, const FitOrigin &origin)
{
    const FitJob::Parameters &p = job.shown();
    const bool weightedFit = regressionmethods::isWeighted(job.method()) && !job.fittedUnweighted();
    const auto bound = [](double value, bool found, double from, double to) {
        return found ? shown(value) : tr("none between %1 and %2").arg(shown(from), shown(to));
    };
    const bool undefined = !job.undefinedReason().isEmpty();
    QString ending = tr("converged");
    if (undefined)
        ending = tr("undefined (not a number)");
    else if (job.stepLimitReached())
        ending = tr("step limit: not converged");

    QString heading = methodName;
    if (job.refined())
        heading += tr(", refined to the least-squares minimum");
    ui->lbFitSummary->setText(heading);
    QFont bold = ui->lbFitSummary->font();
    bold.setBold(true);
    ui->lbFitSummary->setFont(bold);
    // The points fitted, with those the range and the user left out counted as the status
    // text counts them.
    QString fitted =
        tr("%1 points, %2 degrees of freedom").arg(job.usedPoints()).arg(job.degreesOfFreedom());
    if (job.hasRange())
        fitted += tr(" (%1 of %2 points in the fit range)").arg(job.rowsInRange()).arg(job.rows());
    if (job.leftOutRows() > 0)
        fitted += tr(" (%1 left out)").arg(job.leftOutRows());
    ui->lbFitPoints->setText(fitted);
    ui->lbFitPoints->setVisible(true);

    for (const QVector<Entry> &line : qAsConst(summary)) {
        for (const Entry &entry : line) {
            delete entry.name;
            delete entry.value;
        }
    }
    summary.clear();
    // A held parameter shows "fixed" where the other shows its σ; the interval is the 95 % one
    // of Student's t with the fit's degrees of freedom.
    const cFitStatistics::Held held = job.refined() ? job.options().held : cFitStatistics::NoneHeld;
    const auto parameter = [held](double value, double sigma, cFitStatistics::Held self) {
        return held == self ? tr("%1 fixed").arg(shown(value))
                            : tr("%1 ± %2").arg(shown(value), brief(sigma));
    };
    const QString a = parameter(p.A, job.sigmaA(), cFitStatistics::AHeld);
    const QString fc = parameter(p.Fc, job.sigmaFc(), cFitStatistics::FcHeld);
    addSummaryRow(tr("A"), a);
    addSummaryRow(tr("Fc"), fc);
    // The 95 % interval is symmetric: its half-width, t times σ.
    const QString none = tr("fixed");
    addSummaryPair(tr("95 % A"),
                   held == cFitStatistics::AHeld ? none : tr("± %1").arg(brief(job.confidenceA())),
                   tr("95 % Fc"),
                   held == cFitStatistics::FcHeld ? none
                                                  : tr("± %1").arg(brief(job.confidenceFc())));
    const QString sigmaKind = job.absoluteSigma() ? tr("σ from dY alone")
                              : weightedFit       ? tr("σ scaled by χ²ᵣ")
                                                  : tr("σ from the residuals");
    addSummaryPair(tr("Correlation"),
                   held != cFitStatistics::NoneHeld ? tr("none (one fixed)")
                                                    : brief(job.correlation()),
                   tr("Standard errors"), sigmaKind);
    const QString fb = bound(p.Fb, p.fbFound || undefined, 0.01 * p.Fc, p.Fc);
    const QString ft = bound(p.Ft, p.ftFound || undefined, p.Fc, 2 * p.Fc);
    if ((p.fbFound && p.ftFound) || undefined) {
        addSummaryPair(tr("Fb"), fb, tr("Ft"), ft);
    } else {
        addSummaryRow(tr("Fb"), fb);
        addSummaryRow(tr("Ft"), ft);
    }
    addSummaryPair(tr("S"), shown(job.objective()),
                   weightedFit ? tr("Reduced χ²") : tr("Residual variance"),
                   shown(job.reducedChiSquare()));
    const QString explanation =
        weightedFit ? tr("S = Σ (r / dY)², each residual r divided by its dY before squaring; "
                         "reduced χ² = S / (degrees of freedom)")
                    : tr("S = Σ r², the sum of squared residuals; residual variance = "
                         "S / (degrees of freedom)");
    for (const Entry &entry : qAsConst(summary.last())) {
        entry.name->setToolTip(explanation);
        entry.value->setToolTip(explanation);
    }
    addSummaryPair(tr("Steps"), QString::number(job.steps()), tr("End"), ending);
    const bool apart = !job.refined() && job.minimum().found && job.minimumStatistics().isDefined();
    if (apart) {
        const double offA = (p.A - job.minimum().A / job.yScale()) / job.sigmaA();
        const double offFc = (p.Fc - job.minimum().Fc / job.xScale()) / job.sigmaFc();
        addSummaryRow(tr("Minimum"), tr("S %1; A %2 σ, Fc %3 σ away")
                                         .arg(shown(job.minimumObjective()), brief(std::fabs(offA)),
                                              brief(std::fabs(offFc))));
    }
    summaryColumns = 0;
    arrangeSummary();

    notes.clear();
    if (undefined)
        notes << tr("The result is undefined: %1.").arg(job.undefinedReason());
    if (job.notFiniteRows() > 0)
        notes << pointCount(job.notFiniteRows(), job.rows(), tr("X or Y not a number")) + ".";
    if (job.hasRange())
        notes << tr("Fit range: X from %1 to %2.")
                     .arg(std::isnan(job.options().from) ? tr("any") : shown(job.options().from),
                          std::isnan(job.options().to) ? tr("any") : shown(job.options().to));
    if (job.pointsWithoutWeight() > 0)
        notes << pointCount(job.pointsWithoutWeight(), job.rowsInRange(),
                            tr("dY is 0 or not a number")) +
                     ".";
    if (job.fittedUnweighted())
        notes << tr("No point has a usable dY: the fit is unweighted.");
    if (job.pointsWithXNotPositive() > 0)
        notes << (job.pointsWithXNotPositive() == 1
                      ? tr("1 point with X ≤ 0 is fitted but not drawn.")
                      : tr("%1 points with X ≤ 0 are fitted but not drawn.")
                            .arg(job.pointsWithXNotPositive()));
    if (!extrapolation.isEmpty())
        notes << extrapolation + ".";
    if (!undefined) {
        if (!job.minimum().found)
            notes << tr("Standard errors and χ²: —, the least-squares minimum was not found (%1).")
                         .arg(job.minimum().reason);
        else if (!job.minimumStatistics().isDefined())
            notes << tr("Standard errors and χ²: —, %1.")
                         .arg(job.minimumStatistics().undefinedReason());
        else if (!job.refined())
            notes << tr("σ and χ² hold at the least-squares minimum.");
        notes << tr("Fb, Ft: the two values of Fc at which S doubles, not an uncertainty (that "
                    "is σ).");
    }
    changes = 0;
    showNotes();
    plotResiduals(job.statistics(), 1 / job.xScale(), 1 / job.yScale());
    shownOrigin = origin;
    hasShownFit = true;
    appendRecord(recordOf(job, origin));
    emit fitShown(methodName, a, fc);
}

// A value wraps between words where its line is too narrow, and never inside a number.
FitReportWidget::Entry FitReportWidget::summaryEntry(const QString &name, const QString &value)
{
    auto *nameLabel = new QLabel(name, ui->wFitSummaryGrid);
    auto *valueLabel = new QLabel(value, ui->wFitSummaryGrid);
    for (QLabel *label : {nameLabel, valueLabel}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    valueLabel->setWordWrap(true);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return {nameLabel, valueLabel};
}

void FitReportWidget::addSummaryRow(const QString &name, const QString &value)
{
    summary.append({summaryEntry(name, value)});
}

void FitReportWidget::addSummaryPair(const QString &name1, const QString &value1,
                                     const QString &name2, const QString &value2)
{
    summary.append({summaryEntry(name1, value1), summaryEntry(name2, value2)});
}

// Two pairs to a line (names in columns 0 and 2, values in 1 and 3, a lone value spanning 1 to
// 3) when every line fits the width in view unwrapped; otherwise one pair to a line, names in
// column 0 and values in column 1, where a value too long for the line wraps between words,
// and a panel narrower than a name and its longest word scrolls sideways.
void FitReportWidget::arrangeSummary()
{
    QGridLayout *grid = ui->glFitSummary;
    const auto width = [](const QLabel *label) {
        return label->fontMetrics().horizontalAdvance(label->text());
    };
    int columnWidths[4] = {0, 0, 0, 0};
    int lone = 0;
    for (const QVector<Entry> &line : qAsConst(summary)) {
        for (int i = 0; i < line.size(); ++i) {
            columnWidths[2 * i] = std::max(columnWidths[2 * i], width(line[i].name));
            if (line.size() == 2)
                columnWidths[2 * i + 1] = std::max(columnWidths[2 * i + 1], width(line[i].value));
        }
        if (line.size() == 1)
            lone = std::max(lone, width(line[0].value));
    }
    const int spacing = grid->horizontalSpacing();
    const int twoColumns =
        columnWidths[0] + spacing +
        std::max(columnWidths[1] + columnWidths[2] + columnWidths[3] + 2 * spacing, lone);
    const QMargins margins = ui->wFitReportContents->layout()->contentsMargins();
    const int available = ui->saFitReport->viewport()->width() - margins.left() - margins.right();
    const int columns = twoColumns <= available ? 2 : 1;
    if (columns == summaryColumns)
        return;
    summaryColumns = columns;

    for (const QVector<Entry> &line : qAsConst(summary)) {
        for (const Entry &entry : line) {
            grid->removeWidget(entry.name);
            grid->removeWidget(entry.value);
        }
    }
    int row = 0;
    for (const QVector<Entry> &line : qAsConst(summary)) {
        for (int i = 0; i < line.size(); ++i) {
            const int column = columns == 2 ? 2 * i : 0;
            grid->addWidget(line[i].name, row, column);
            grid->addWidget(line[i].value, row, column + 1, 1,
                            columns == 2 && line.size() == 1 ? 3 : 1);
            if (columns == 1 || i + 1 == line.size())
                ++row;
        }
    }
    for (int column = 0; column < 4; ++column)
        grid->setColumnStretch(column, column == 2 * columns - 1 ? 1 : 0);
}

void FitReportWidget::setOutOfDate(bool changed, int change)
{
    const int now = !changed ? 0 : change ? (changes | change) : (changes ? changes : TableChange);
    if (now == changes || fits.isEmpty())
        return;
    changes = now;
    showNotes();
}

void FitReportWidget::showNotes()
{
    QStringList lines = notes;
    if (changes & CalibrationChange)
        lines.prepend(tr("The calibration in use has changed since this fit."));
    if (changes & TableChange)
        lines.prepend(tr("The table has changed since this fit."));
    ui->lbFitNotes->setText(lines.join(QLatin1Char('\n')));
    ui->lbFitNotes->setVisible(!lines.isEmpty());
}

void FitReportWidget::addCancelledFit(const FitRecord &record)
{
    appendRecord(record);
}

void FitReportWidget::appendRecord(const FitRecord &record)
{
    fits.append(record);
    const int row = ui->twFitRecord->rowCount();
    ui->twFitRecord->insertRow(row);
    const QStringList fields = record.fields();
    for (int column = 0; column < fields.size(); ++column)
        ui->twFitRecord->setItem(row, column, new QTableWidgetItem(fields.at(column)));
    ui->twFitRecord->resizeColumnsToContents();
    ui->twFitRecord->scrollToBottom();
    ui->pbCopyFitReport->setEnabled(true);
    ui->pbSaveFitReport->setEnabled(true);
    emit reportAvailable(true);
}

// The residuals in the units of the table, with their ±dY bars (none where a point has no
// usable dY). The Y range covers every bar and the zero line, with a margin.
void FitReportWidget::plotResiduals(const cFitStatistics &statistics, double xToTable,
                                    double yToTable)
{
    QVector<double> x = statistics.residualX();
    QVector<double> r = statistics.residuals();
    QVector<double> dy = statistics.residualDy();
    double lower = 0;
    double upper = 0;
    for (int i = 0; i < x.size() && i < r.size() && i < dy.size(); ++i) {
        x[i] *= xToTable;
        r[i] *= yToTable;
        dy[i] = std::isfinite(dy[i]) ? std::fabs(dy[i]) * yToTable : 0.0;
        if (std::isfinite(r[i])) {
            lower = std::min(lower, r[i] - dy[i]);
            upper = std::max(upper, r[i] + dy[i]);
        }
    }
    QCustomPlot *plot = ui->wResidualPlot;
    PointsWithBars::set(plot->graph(0), x, r, dy);
    const double margin = upper > lower ? 0.05 * (upper - lower) : 1.0;
    plot->yAxis->setRange(lower - margin, upper + margin);
    replotWhenShown();
}

// Drawing a hundred thousand residuals takes a while: a plot that nobody sees (the panel
// closed, or the record in front) is drawn when it comes into view, and one in view is drawn
// from the event loop, apart from the rest of the fit's work, so that the window never waits
// for both at once.
void FitReportWidget::replotWhenShown()
{
    residualsOutOfDate = !ui->wResidualPlot->isVisible();
    if (!residualsOutOfDate)
        ui->wResidualPlot->replot(QCustomPlot::rpQueuedReplot);
}

// The plot draws itself at once when it is resized; a new fit that changes the height of the
// summary resizes it just before its queued redraw, and the two would draw every residual
// twice. Resized, it is redrawn once, from the event loop, like every other redraw here.
bool FitReportWidget::eventFilter(QObject *watched, QEvent *event)
{
    QCustomPlot *plot = ui->wResidualPlot;
    if (watched == plot && event->type() == QEvent::Show && residualsOutOfDate) {
        residualsOutOfDate = false;
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
    if (watched == ui->saFitReport->viewport() && event->type() == QEvent::Resize)
        arrangeSummary();
    if (watched == plot && event->type() == QEvent::Resize) {
        plot->setViewport(plot->rect());
        plot->replot(QCustomPlot::rpQueuedReplot);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QCustomPlot *FitReportWidget::residualPlot() const
{
    return ui->wResidualPlot;
}

void FitReportWidget::setAxisTitles(const QString &titleX, const QString &titleY)
{
    QCustomPlot *plot = ui->wResidualPlot;
    plot->xAxis->setLabel(titleX);
    plot->yAxis->setLabel(titleY.isEmpty() ? tr("Y − model") : tr("%1 − model").arg(titleY));
    replotWhenShown();
}

void FitReportWidget::followXRange(const QCPRange &range)
{
    ui->wResidualPlot->xAxis->setRange(range);
    replotWhenShown();
}

// The summary's lines in the order they stand on screen, whatever the width has made of them.
QString FitReportWidget::reportText() const
{
    QStringList lines(ui->lbFitSummary->text());
    if (hasShownFit) {
        lines << ui->lbFitPoints->text();
        for (const QVector<Entry> &line : summary) {
            for (const Entry &entry : line)
                lines << tr("%1: %2").arg(entry.name->text(), entry.value->text());
        }
        if (!ui->lbFitNotes->text().isEmpty())
            lines << ui->lbFitNotes->text();
        const auto file = [](const QString &fileName) {
            return fileName.isEmpty() ? tr("none") : FitRecord::fileText(fileName);
        };
        lines << tr("Data file: %1").arg(file(shownOrigin.dataFile))
              << tr("Calibration: %1").arg(file(shownOrigin.calibrationFile));
    }
    return lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + FitRecord::tabSeparated(fits);
}

void FitReportWidget::on_pbCopyFitReport_clicked()
{
    QGuiApplication::clipboard()->setText(reportText());
}

void FitReportWidget::on_pbSaveFitReport_clicked()
{
    saveReport();
}

// The file is replaced only by a complete new one: a save that fails leaves any file of that
// name as it was, and a warning box says why.
void FitReportWidget::saveReport()
{
    if (fits.isEmpty())
        return;
    QFileDialog dialog(window(), tr("Save Report..."), QStringLiteral("./fit_report.txt"),
                       tr("Text (*.txt)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    const QByteArray bytes = reportText().toUtf8();
    ReplacingFile file(fileName);
    if (!file.open() || !file.write(bytes.constData(), bytes.size()) || !file.commit()) {
        const QString message = tr("Could not save %1: %2").arg(fileName, file.error());
        emit statusMessage(message);
        QMessageBox::warning(window(), tr("Vantorel"), message);
        return;
    }
    emit statusMessage(tr("Saved the fit report to %1").arg(fileName));
}
