#include "app/fitreportwidget.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "plot/pointswithbars.h"
#include "regression/cfitstatistics.h"
#include "ui_fitreportwidget.h"

FitReportWidget::FitReportWidget(QWidget *parent) : QWidget(parent), ui(new Ui::FitReportWidget)
{
    ui->setupUi(this);
    ui->twFitRecord->setColumnCount(FitRecord::header().size());
    ui->twFitRecord->setHorizontalHeaderLabels(FitRecord::header());
    ui->twFitRecord->verticalHeader()->setVisible(false);

    QCustomPlot *plot = ui->wResidualPlot;
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    plot->yAxis->setLabel(tr("Y − model"));
    QCPGraph *residuals = plot->addGraph();
    residuals->setLineStyle(QCPGraph::lsNone);
    residuals->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, Qt::blue, Qt::white, 5));
    auto *bars = new QCPErrorBars(plot->xAxis, plot->yAxis);
    bars->setErrorType(QCPErrorBars::etValueError);
    bars->setDataPlottable(residuals);
    auto *zero = new QCPItemStraightLine(plot);
    zero->point1->setCoords(1, 0);
    zero->point2->setCoords(10, 0);
    zero->setPen(QPen(Qt::gray, 0, Qt::DashLine));
}

FitReportWidget::~FitReportWidget()
{
    delete ui;
}

// Numbers as the status bar shows them: 6 significant digits; a dash for what is not defined.
static QString shown(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 6) : QStringLiteral("—");
}

// The summary is a small table of two name-value pairs a line, so that it leaves room for the
// residuals and the record at the window's first size. Standard errors are shown with three
// significant digits, enough to judge the values by; the record keeps ten.
void FitReportWidget::showFit(const FitRecord &record, const QString &methodName,
                              const cFitStatistics &statistics, double xToTable)
{
    const auto error = [](double value) {
        return std::isfinite(value) ? QString::number(value, 'g', 3) : QStringLiteral("—");
    };
    const auto cells = [](const QString &name, const QString &value) {
        return QStringLiteral("<td>%1&nbsp;</td><td>%2&nbsp;&nbsp;&nbsp;</td>")
            .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
    };
    const QString ending = record.end == FitRecord::StepLimit
                               ? tr("not converged: step limit reached")
                               : tr("converged");
    QString text = QStringLiteral("<b>%1</b><br>").arg(methodName.toHtmlEscaped());
    text += tr("%1 points, %2 degrees of freedom; %3 steps, %4")
                .arg(record.points)
                .arg(std::max(0, statistics.degreesOfFreedom()))
                .arg(record.steps)
                .arg(ending)
                .toHtmlEscaped();
    text +=
        QStringLiteral("<table cellspacing=\"0\"><tr>%1%2</tr><tr>%3%4</tr><tr>%5%6</tr></table>")
            .arg(cells(tr("A"), tr("%1 ± %2").arg(shown(record.A), error(record.sigmaA))),
                 cells(tr("Fb"), shown(record.Fb)),
                 cells(tr("Fc"), tr("%1 ± %2").arg(shown(record.Fc), error(record.sigmaFc))),
                 cells(tr("Ft"), shown(record.Ft)),
                 cells(tr("Reduced χ²"), shown(record.reducedChiSquare)),
                 cells(tr("S"), shown(statistics.objective())));
    if (!statistics.isDefined())
        text += tr("Standard errors and reduced χ²: —, %1.")
                    .arg(statistics.undefinedReason().toHtmlEscaped());
    ui->lbFitSummary->setText(text);
    ui->lbFitSummary->setToolTip(
        record.method % 2 == 1
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
    PointsWithBars::set(plot->graph(0), qobject_cast<QCPErrorBars *>(plot->plottable(1)), x, r, dy);
    const double margin = upper > lower ? 0.05 * (upper - lower) : 1.0;
    plot->yAxis->setRange(lower - margin, upper + margin);
    plot->replot();
}

void FitReportWidget::followXRange(const QCPRange &range)
{
    ui->wResidualPlot->xAxis->setRange(range);
    ui->wResidualPlot->replot(QCustomPlot::rpQueuedReplot);
}

void FitReportWidget::on_pbCopyFitReport_clicked()
{
    QGuiApplication::clipboard()->setText(FitRecord::tabSeparated(fits));
}
