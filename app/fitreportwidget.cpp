#include "app/fitreportwidget.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
#include "plot/pointswithbars.h"
#include "regression/cfitstatistics.h"
#include "regression/regressionmethods.h"
#include "ui_fitreportwidget.h"

FitReportWidget::FitReportWidget(QWidget *parent) : QWidget(parent), ui(new Ui::FitReportWidget)
{
    ui->setupUi(this);
    // The summary keeps the height of its longest text, so a new fit does not resize the plot.
    ui->lbFitSummary->setFixedHeight(7 * ui->lbFitSummary->fontMetrics().lineSpacing() + 4);
    ui->twFitRecord->setColumnCount(FitRecord::header().size());
    ui->twFitRecord->setHorizontalHeaderLabels(FitRecord::header());
    ui->twFitRecord->verticalHeader()->setVisible(false);

    QCustomPlot *plot = ui->wResidualPlot;
    plot->setLocale(NumberText::locale());
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    plot->yAxis->setLabel(tr("Y − model"));
    PointsWithBars::add(plot);
    auto *zero = new QCPItemStraightLine(plot);
    zero->point1->setCoords(1, 0);
    zero->point2->setCoords(10, 0);
    zero->setPen(QPen(Qt::gray, 0, Qt::DashLine));
    plot->installEventFilter(this);
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

// The summary is a small table of two name-value pairs a line, so that it leaves room for the
// residuals and the record at the window's first size. Its width never moves the layout (the
// panel has a fixed minimum width instead), so a new fit does not resize and redraw the plots.
// Standard errors are shown with three significant digits, enough to judge the values by; the
// record keeps ten.
void FitReportWidget::showFit(const FitRecord &record, const QString &methodName,
                              const cFitStatistics &statistics, double xToTable)
{
    const auto error = [](double value) {
        return NumberText::fromDouble(value, 3, QStringLiteral("—"));
    };
    const auto cells = [](const QString &name, const QString &value) {
        return QStringLiteral("<td>%1&nbsp;</td><td>%2&nbsp;&nbsp;&nbsp;</td>")
            .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
    };
    const QString ending =
        record.end == FitRecord::StepLimit ? tr("step limit: not converged") : tr("converged");
    QString text = QStringLiteral("<b>%1</b><br>").arg(methodName.toHtmlEscaped());
    text += tr("%1 points, %2 degrees of freedom")
                .arg(record.points)
                .arg(std::max(0, statistics.degreesOfFreedom()));
    text += QStringLiteral("<table cellspacing=\"0\"><tr>%1%2</tr><tr>%3%4</tr><tr>%5%6</tr>"
                           "<tr>%7%8</tr></table>")
                .arg(cells(tr("A"), tr("%1 ± %2").arg(shown(record.A), error(record.sigmaA))),
                     cells(tr("Fb"), shown(record.Fb)),
                     cells(tr("Fc"), tr("%1 ± %2").arg(shown(record.Fc), error(record.sigmaFc))),
                     cells(tr("Ft"), shown(record.Ft)),
                     cells(tr("Reduced χ²"), shown(record.reducedChiSquare)),
                     cells(tr("S"), shown(statistics.objective())),
                     cells(tr("Steps"), QString::number(record.steps)), cells(tr("End"), ending));
    if (!statistics.isDefined())
        text += tr("Standard errors and reduced χ²: —, %1.")
                    .arg(statistics.undefinedReason().toHtmlEscaped());
    ui->lbFitSummary->setText(text);
    ui->lbFitSummary->setToolTip(
        regressionmethods::isWeighted(record.method)
            ? tr("S is the weighted sum of squared residuals, each divided by its dY")
            : tr("S is the sum of squared residuals"));
    plotResiduals(statistics, xToTable);
    appendRecord(record);
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

// The residuals in the unit of the table's X, with their ±dY bars (none where a point has no
// usable dY). The Y range covers every bar and the zero line, with a margin.
void FitReportWidget::plotResiduals(const cFitStatistics &statistics, double xToTable)
{
    QVector<double> x = statistics.residualX();
    const QVector<double> r = statistics.residuals();
    QVector<double> dy = statistics.residualDy();
    double lower = 0;
    double upper = 0;
    for (int i = 0; i < x.size() && i < r.size() && i < dy.size(); ++i) {
        x[i] *= xToTable;
        dy[i] = std::isfinite(dy[i]) ? std::fabs(dy[i]) : 0.0;
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

bool FitReportWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->wResidualPlot && event->type() == QEvent::Show && residualsOutOfDate) {
        residualsOutOfDate = false;
        ui->wResidualPlot->replot(QCustomPlot::rpQueuedReplot);
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
