#include "app/calculationpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/backgroundwork.h"
#include "app/fitreportwidget.h"
#include "app/graphview.h"
#include "app/pointsource.h"
#include "data/numbertext.h"
#include "data/numbervalidator.h"
#include "regression/fitjob.h"
#include "regression/leastsquaresrefinement.h"
#include "regression/regressionmethods.h"
#include "ui_mainwindow.h"

// The fit runs beside the window. A long one shows "Fitting…" with the steps accepted so far,
// then the evaluations of the refinement, a few times a second, and offers Cancel.
CalculationPanel::CalculationPanel(QMainWindow *window, Ui::MainWindow *ui,
                                   const PointSource *points, GraphView *graph)
    : QObject(window), window(window), ui(ui), points(points), graph(graph),
      work(new BackgroundWork(window, QStringLiteral("FitProgress")))
{
    work->setDialogSetup([](QProgressDialog &dialog) {
        // A bar of its own shows the count as text; it brings its own range, so the range is
        // set again after it is in place.
        auto *bar = new QProgressBar(&dialog);
        bar->setFormat(tr("%v steps"));
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        bar->setLocale(plain);
        dialog.setBar(bar);
        dialog.setRange(0, static_cast<int>(cAbstractRegressCalculation::maxAcceptedSteps));
    });
    work->setDialogUpdate([this](QProgressDialog &dialog, const BackgroundWork::Progress &) {
        const long long evaluations = monitor.refinementEvaluations.load();
        const bool refining = evaluations > 0;
        if (refining && dialog.maximum() != LeastSquaresRefinement::maxEvaluations) {
            dialog.setLabelText(tr("Refining to the least-squares minimum…"));
            dialog.findChild<QProgressBar *>()->setFormat(tr("%v evaluations"));
            dialog.setRange(0, LeastSquaresRefinement::maxEvaluations);
        }
        const long long count = refining ? evaluations : monitor.acceptedSteps.load();
        BackgroundWork::showValue(dialog,
                                  static_cast<int>(std::min<long long>(count, dialog.maximum())));
    });
    work->setCancelHook([this] { monitor.cancel.store(true); });
    connect(work, &BackgroundWork::finished, this, &CalculationPanel::fitEnded);

    // The range and the held values take numbers as the table does: a point, not a comma.
    for (QLineEdit *edit : {ui->leFitFrom, ui->leFitTo, ui->leFixA, ui->leFixFc})
        edit->setValidator(new NumberValidator(edit));
    // The shading follows a range once it is typed (drawing the plot anew for every key would
    // hold up typing over a large table), and at Calculate.
    connect(ui->leFitFrom, &QLineEdit::editingFinished, this, &CalculationPanel::showFitRange);
    connect(ui->leFitTo, &QLineEdit::editingFinished, this, &CalculationPanel::showFitRange);
    connect(ui->cbFixA, &QCheckBox::toggled, this, &CalculationPanel::updateFixControls);
    connect(ui->cbFixFc, &QCheckBox::toggled, this, &CalculationPanel::updateFixControls);
    // σ from dY alone means something only where there are dY in the objective.
    const auto weightedOnly = [this](int method) {
        this->ui->cbAbsoluteSigma->setEnabled(regressionmethods::isWeighted(method));
    };
    connect(ui->cbCalculationType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            weightedOnly);
    weightedOnly(ui->cbCalculationType->currentIndex());
}

// A field that holds no number yet (empty, or on its way to one) is an open end.
static double fieldValue(const QLineEdit *edit)
{
    double value = 0;
    return NumberText::toDouble(edit->text(), &value) ? value
                                                      : std::numeric_limits<double>::quiet_NaN();
}

void CalculationPanel::showFitRange()
{
    graph->setFitRange(fieldValue(ui->leFitFrom), fieldValue(ui->leFitTo));
}

void CalculationPanel::updateFixControls()
{
    const bool fixA = ui->cbFixA->isChecked();
    const bool fixFc = ui->cbFixFc->isChecked();
    ui->cbFixFc->setEnabled(!fixA);
    ui->cbFixA->setEnabled(!fixFc);
    ui->leFixA->setEnabled(fixA);
    ui->leFixFc->setEnabled(fixFc);
    const bool fixed = fixA || fixFc;
    if (fixed && ui->cbRefineFit->isEnabled()) {
        refineBeforeFix = ui->cbRefineFit->isChecked();
        ui->cbRefineFit->setChecked(true);
    } else if (!fixed && !ui->cbRefineFit->isEnabled()) {
        ui->cbRefineFit->setChecked(refineBeforeFix);
    }
    ui->cbRefineFit->setEnabled(!fixed);
}

QString CalculationPanel::readOptions(FitJob::Options &options) const
{
    options.refine = ui->cbRefineFit->isChecked();
    options.absoluteSigma = ui->cbAbsoluteSigma->isChecked() && ui->cbAbsoluteSigma->isEnabled();
    options.leftOut = points->leftOutRows();
    const struct
    {
        const QLineEdit *edit;
        double *value;
        QString name;
    } fields[] = {{ui->leFitFrom, &options.from, tr("\"Fit X from\"")},
                  {ui->leFitTo, &options.to, tr("\"to\"")}};
    for (const auto &field : fields) {
        *field.value = fieldValue(field.edit);
        if (std::isnan(*field.value) && !field.edit->text().trimmed().isEmpty())
            return NumberValidator::hasDecimalComma(field.edit->text())
                       ? tr("%1 is not a number; %2")
                             .arg(field.name, NumberValidator::commaHint().toLower())
                       : tr("%1 is not a number").arg(field.name);
    }
    if (options.from > options.to)
        return tr("the fit range starts above its end");
    if (ui->cbFixA->isChecked() || ui->cbFixFc->isChecked()) {
        const bool fixA = ui->cbFixA->isChecked();
        options.held = fixA ? cFitStatistics::AHeld : cFitStatistics::FcHeld;
        options.heldValue = fieldValue(fixA ? ui->leFixA : ui->leFixFc);
        if (std::isnan(options.heldValue))
            return fixA ? tr("enter the value to fix A at") : tr("enter the value to fix Fc at");
        if (!fixA && !(options.heldValue > 0))
            return tr("Fc can only be fixed at a value above 0");
    }
    return QString();
}

// The fit's worker ends before the calculation and the job it writes go.
CalculationPanel::~CalculationPanel()
{
    delete work;
}

bool CalculationPanel::isRunning() const
{
    return work->isRunning();
}

void CalculationPanel::closeWhenEnded()
{
    closeAfterFit = true;
    work->cancel();
}

// Fits the method chosen in the calculation panel to the table (FitJob: X scaled so that its
// largest value is 10, rows without finite X or Y left out, Y of the recombination methods
// brought into the range their descent handles), and with "Refine to the least-squares
// minimum" checked continues to the exact minimum. The points are refreshed as Update Graph
// does, and the curve spans the X range of that refresh, whatever the zoom. A short fit has
// ended when this returns; a long one ends in fitEnded.
void CalculationPanel::calculate()
{
    if (work->isRunning())
        return;
    method = ui->cbCalculationType->currentIndex();
    std::unique_ptr<cAbstractRegressCalculation> created = regressionmethods::create(method);
    if (!created)
        return;
    // Options that leave nothing to fit are refused before anything changes: the fit shown
    // stays.
    showFitRange();
    FitJob::Options options;
    const QString refused = readOptions(options);
    auto checked =
        std::make_unique<FitJob>(method, points->columnValues(0), points->correctedYValues(),
                                 points->columnValues(2), options);
    QString why = refused;
    const bool narrowed = checked->hasRange() || checked->leftOutRows() > 0;
    if (why.isEmpty() && narrowed && checked->rowsInRange() < 3)
        why = checked->hasRange() ? tr("the fit range holds %1 points, and a fit needs at least 3")
                                        .arg(checked->rowsInRange())
                                  : tr("%1 points are left in the fit, and a fit needs at least 3")
                                        .arg(checked->rowsInRange());
    if (!why.isEmpty()) {
        window->statusBar()->showMessage(tr("Nothing fitted: %1").arg(why));
        return;
    }
    calculation = std::move(created);
    job = std::move(checked);
    extrapolation = points->extrapolationText();
    origin = {points->dataFileName(), points->calibrationFileName(), QDateTime::currentDateTime()};
    // A long fit lets the window go on; a run's point that comes in meanwhile is not in it.
    fittedTable = points->tableState();
    monitor.acceptedSteps.store(0);
    monitor.refinementEvaluations.store(0);
    monitor.cancel.store(false);
    FitJob *running = job.get();
    cAbstractRegressCalculation *fit = calculation.get();
    cAbstractRegressCalculation::Monitor *shared = &monitor;
    if (!work->start(tr("Fitting…"), [running, fit, shared](BackgroundWork::Progress &) {
            return running->run(*fit, shared);
        }))
        fitEnded(false);
}

// A cancelled fit leaves the curve and the parameters shown before.
void CalculationPanel::fitEnded(bool finished)
{
    if (closeAfterFit) {
        closeAfterFit = false;
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    }
    const std::unique_ptr<FitJob> ended = std::move(job);
    if (!finished) {
        FitRecord record = FitReportWidget::recordOf(*ended, origin);
        record.points = ended->usedPoints();
        record.sigmaA = record.sigmaFc = record.Fb = record.Ft = record.reducedChiSquare =
            record.correlation = std::nan("");
        record.end = FitRecord::Cancelled;
        record.refined = false;
        ui->wFitReport->addCancelledFit(record);
        window->statusBar()->showMessage(tr("Calculation cancelled"));
        return;
    }

    // The points drawn are refreshed, with the old curve left out of the rescale, so that the
    // X range is that of the points alone; points drawn from the table as it is, in the full
    // view, are drawn already, and only the curve is drawn anew (a hundred thousand points
    // with their bars would hold up the window).
    const bool pointsShown = graph->pointsInFullView();
    if (!pointsShown) {
        setFitOutOfDate(true);
        graph->refreshPoints();
    }
    const FitJob::Parameters &P = ended->shown();
    // With no positive X there is no scale and no curve: graph 1 is emptied. Samples whose
    // ordinate is not a finite number are left out of the curve.
    QVector<double> keys;
    QVector<double> values;
    if (ended->xScale() > 0 && std::isfinite(ended->xScale())) {
        for (double key : curveAbscissas(graph->xLower(), graph->xUpper())) {
            const double value = regressionmethods::model(method, key, P.A, P.Fc);
            if (std::isfinite(value)) {
                keys.append(key);
                values.append(value);
            }
        }
    }
    ui->wFitReport->showFit(*ended, ui->cbCalculationType->itemText(method), extrapolation, origin);
    setFitOutOfDate(false);
    if (points->tableState() != fittedTable)
        setFitOutOfDate(true);
    graph->showCurve(keys, values, pointsShown);
    window->statusBar()->showMessage(statusText(*ended, extrapolation));
}

// A curve that no longer matches the table is drawn dashed until the next Calculate, and the
// report says what changed.
void CalculationPanel::setFitOutOfDate(bool changed, int change)
{
    if (changed && change != 0)
        ui->wFitReport->setOutOfDate(true, change);
    if (outOfDate == changed)
        return;
    outOfDate = changed;
    graph->setCurveOutOfDate(changed);
    ui->wFitReport->setOutOfDate(changed);
}

// "Parameters A = %1; Fc = %2; Fb = %3; Ft = %4" with what the numbers are: the step limit,
// points left out and why, a weighted fit that had no usable dY, an undefined result, points
// whose correction is extrapolated, the refinement, and bounds that are no crossing.
QString CalculationPanel::statusText(const FitJob &job, const QString &extrapolation) const
{
    const FitJob::Parameters &P = job.shown();
    QString text = tr("Parameters A = %1; Fc = %2; Fb = %3; Ft = %4")
                       .arg(QString::number(P.A, 'g', 6), QString::number(P.Fc, 'g', 6),
                            QString::number(P.Fb, 'g', 6), QString::number(P.Ft, 'g', 6));
    if (!extrapolation.isEmpty())
        text += QStringLiteral("; ") + extrapolation;
    if (job.stepLimitReached())
        text += tr(" (not converged: step limit reached)");
    if (job.notFiniteRows() > 0)
        text += tr(" (%1 of %2 points left out: X or Y not a number)")
                    .arg(job.notFiniteRows())
                    .arg(job.rows());
    if (job.hasRange())
        text += tr(" (%1 of %2 points in the fit range)").arg(job.rowsInRange()).arg(job.rows());
    if (job.leftOutRows() > 0)
        text += tr(" (%1 left out)").arg(job.leftOutRows());
    if (job.pointsWithoutWeight() > 0)
        text += tr(" (%1 of %2 points left out: dY is 0 or not a number)")
                    .arg(job.pointsWithoutWeight())
                    .arg(job.rowsInRange());
    if (job.fittedUnweighted())
        text += tr(" (no usable dY: fitted unweighted)");
    if (!job.undefinedReason().isEmpty()) {
        text += tr(" (undefined: %1)").arg(job.undefinedReason());
        return text;
    }
    if (job.refined() && job.options().held == cFitStatistics::AHeld)
        text += tr(" (refined, A fixed)");
    else if (job.refined() && job.options().held == cFitStatistics::FcHeld)
        text += tr(" (refined, Fc fixed)");
    else if (job.refined())
        text += tr(" (refined)");
    else if (job.refineAsked())
        text += tr(" (not refined: %1)").arg(job.minimum().reason);
    if (!P.fbFound)
        text += tr(" (Fb not found)");
    if (!P.ftFound)
        text += tr(" (Ft not found)");
    return text;
}

// The 50 abscissas of the fit curve from lower to upper, both ends included. They are evenly
// spaced in log X, so that the curve is as smooth in every decade of the logarithmic X axis;
// a range that reaches zero or below has no logarithm and is spaced evenly in X instead.
QVector<double> CalculationPanel::curveAbscissas(double lower, double upper)
{
    const int samples = 50;
    QVector<double> keys(samples);
    if (lower > 0) {
        const double logLower = std::log(lower);
        const double logStep = (std::log(upper) - logLower) / (samples - 1);
        for (int i = 0; i < samples; ++i)
            keys[i] = std::exp(logLower + i * logStep);
        keys.first() = lower;
        keys.last() = upper;
    } else {
        const double step = (upper - lower) / (samples - 1);
        double key = lower;
        for (int i = 0; i < samples; ++i) {
            keys[i] = key;
            key += step;
        }
    }
    return keys;
}
