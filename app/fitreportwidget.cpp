#include "app/fitreportwidget.h"

#include <QClipboard>
#include <QDockWidget>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTextDocument>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
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
    // Room for the summary of a typical fit from the start, so that the first fit does not
    // widen the panel and make the plot beside it draw every point anew.
    reserveWidth(
        QStringLiteral("<table><tr><td>S&nbsp;&nbsp;</td><td>-1.23457e+06&nbsp;&nbsp;&nbsp;"
                       "</td><td>%1&nbsp;&nbsp;</td><td>-1.23457e+06</td></tr><tr><td>"
                       "%2&nbsp;&nbsp;</td><td colspan=\"3\">%3</td></tr></table>")
            .arg(tr("Residual variance"), tr("Minimum"),
                 tr("S %1; A %2 σ, Fc %3 σ away")
                     .arg(QStringLiteral("-1.23457e+06"), QStringLiteral("0.123"),
                          QStringLiteral("0.123"))));
}

// A label of rich text may be laid out narrower than its text; the summary never is: it is as
// wide as html laid out without any line break, or as it was. The panel has no minimum width of
// its own, so that it is as wide as its contents ask.
void FitReportWidget::reserveWidth(const QString &html)
{
    QTextDocument natural;
    natural.setDefaultFont(ui->lbFitSummary->font());
    natural.setHtml(html);
    natural.setTextWidth(1e6);
    ui->lbFitSummary->setMinimumWidth(std::max(
        ui->lbFitSummary->minimumWidth(), static_cast<int>(std::ceil(natural.idealWidth())) + 8));
    if (auto *dock = qobject_cast<QDockWidget *>(parentWidget()))
        dock->setMinimumWidth(0);
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

FitRecord FitReportWidget::recordOf(const FitJob &job)
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
    return record;
}

// The summary is a small table of name-value pairs that is never narrower than its widest
// line, so no number is ever cut; the notes below it wrap between words. σ, χ² and the residual
// variance are those of the least-squares minimum, where their formula holds.
void FitReportWidget::showFit(const FitJob &job, const QString &methodName,
                              const QString &extrapolation)
{
    const FitJob::Parameters &p = job.shown();
    const bool weightedFit = regressionmethods::isWeighted(job.method()) && !job.fittedUnweighted();
    const auto row = [](const QString &name, const QString &value) {
        return QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td colspan=\"3\">%2</td></tr>")
            .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
    };
    const auto pair = [](const QString &name1, const QString &value1, const QString &name2,
                         const QString &value2) {
        return QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td>%2&nbsp;&nbsp;&nbsp;</td>"
                              "<td>%3&nbsp;&nbsp;</td><td>%4</td></tr>")
            .arg(name1.toHtmlEscaped(), value1.toHtmlEscaped(), name2.toHtmlEscaped(),
                 value2.toHtmlEscaped());
    };
    const auto bound = [](double value, bool found, double from, double to) {
        return found ? shown(value) : tr("none between %1 and %2").arg(shown(from), shown(to));
    };
    const bool undefined = !job.undefinedReason().isEmpty();
    QString ending = tr("converged");
    if (undefined)
        ending = tr("undefined (not a number)");
    else if (job.stepLimitReached())
        ending = tr("step limit: not converged");

    QString text = QStringLiteral("<b>%1</b>").arg(methodName.toHtmlEscaped());
    if (job.refined())
        text += tr(", refined to the least-squares minimum").toHtmlEscaped();
    text += QStringLiteral("<br>") + tr("%1 points, %2 degrees of freedom")
                                         .arg(job.usedPoints())
                                         .arg(std::max(0, job.usedPoints() - 2));
    text += QStringLiteral("<table cellspacing=\"0\">");
    text += row(tr("A"), tr("%1 ± %2").arg(shown(p.A), brief(job.sigmaA())));
    text += row(tr("Fc"), tr("%1 ± %2").arg(shown(p.Fc), brief(job.sigmaFc())));
    const QString fb = bound(p.Fb, p.fbFound || undefined, 0.01 * p.Fc, p.Fc);
    const QString ft = bound(p.Ft, p.ftFound || undefined, p.Fc, 2 * p.Fc);
    if ((p.fbFound && p.ftFound) || undefined) {
        text += pair(tr("Fb"), fb, tr("Ft"), ft);
    } else {
        text += row(tr("Fb"), fb);
        text += row(tr("Ft"), ft);
    }
    text += pair(tr("S"), shown(job.objective()),
                 weightedFit ? tr("Reduced χ²") : tr("Residual variance"),
                 shown(job.reducedChiSquare()));
    text += pair(tr("Steps"), QString::number(job.steps()), tr("End"), ending);
    const bool apart = !job.refined() && job.minimum().found && job.minimumStatistics().isDefined();
    if (apart) {
        const double offA = (p.A - job.minimum().A / job.yScale()) / job.sigmaA();
        const double offFc = (p.Fc - job.minimum().Fc / job.xScale()) / job.sigmaFc();
        text += row(tr("Minimum"), tr("S %1; A %2 σ, Fc %3 σ away")
                                       .arg(shown(job.minimumObjective()), brief(std::fabs(offA)),
                                            brief(std::fabs(offFc))));
    }
    text += QStringLiteral("</table>");
    ui->lbFitSummary->setText(text);
    reserveWidth(text);
    ui->lbFitSummary->setToolTip(
        weightedFit ? tr("S = Σ (r / dY)², each residual r divided by its dY before squaring; "
                         "reduced χ² = S / (points − 2)")
                    : tr("S = Σ r², the sum of squared residuals; residual variance = "
                         "S / (points − 2)"));

    notes.clear();
    if (undefined)
        notes << tr("The result is undefined: %1.").arg(job.undefinedReason());
    if (job.notFiniteRows() > 0)
        notes << pointCount(job.notFiniteRows(), job.rows(), tr("X or Y not a number")) + ".";
    if (job.pointsWithoutWeight() > 0)
        notes << pointCount(job.pointsWithoutWeight(), job.rows() - job.notFiniteRows(),
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
    outOfDate = false;
    showNotes();
    plotResiduals(job.statistics(), 1 / job.xScale(), 1 / job.yScale());
    appendRecord(recordOf(job));
}

void FitReportWidget::setOutOfDate(bool changed)
{
    if (outOfDate == changed || fits.isEmpty())
        return;
    outOfDate = changed;
    showNotes();
}

void FitReportWidget::showNotes()
{
    QStringList lines = notes;
    if (outOfDate)
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
    if (watched == plot && event->type() == QEvent::Resize) {
        plot->setViewport(plot->rect());
        plot->replot(QCustomPlot::rpQueuedReplot);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FitReportWidget::followXRange(const QCPRange &range)
{
    ui->wResidualPlot->xAxis->setRange(range);
    replotWhenShown();
}

void FitReportWidget::on_pbCopyFitReport_clicked()
{
    QGuiApplication::clipboard()->setText(FitRecord::tabSeparated(fits));
}
