#ifndef FITREPORTWIDGET_H
#define FITREPORTWIDGET_H

#include <QList>
#include <QStringList>
#include <QWidget>

#include "app/fitrecord.h"

namespace Ui {
class FitReportWidget;
}

class QCPRange;
class FitJob;
class cFitStatistics;

// The contents of the Fit Report panel: the statistics of the last fit (points used, A and Fc
// with their standard errors, Fb and Ft, S, the reduced chi-square or residual variance, the
// steps and how the descent ended, how far the method's result lies from the least-squares
// minimum, and notes on what the fit left out), a plot of its residuals, and the record of
// every fit of the session, which Copy puts on the clipboard as tab-separated text. Every
// number is shown whole: the panel grows to the widest line, and notes wrap between words.
class FitReportWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FitReportWidget(QWidget *parent = nullptr);
    ~FitReportWidget() override;

    // Shows a fit that ran to its end and adds it to the record. extrapolation, when not empty,
    // says which of its points had their correction extrapolated.
    void showFit(const FitJob &job, const QString &methodName, const QString &extrapolation);

    // Adds a cancelled fit to the record; the summary and the residuals of the last fit stay.
    void addCancelledFit(const FitRecord &record);

    // What changed since the fit shown.
    enum Change
    {
        TableChange = 1,
        CalibrationChange = 2
    };
    // Says, until the next fit, what changed since the fit shown (change 0: the table, unless
    // a change is said already); false takes the note away.
    void setOutOfDate(bool outOfDate, int change = 0);

    // The record line of a fit, as showFit adds it.
    static FitRecord recordOf(const FitJob &job);

public slots:
    // Keeps the X range of the residual plot that of the main plot.
    void followXRange(const QCPRange &range);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_pbCopyFitReport_clicked();

private:
    void reserveWidth(const QString &html);
    void appendRecord(const FitRecord &record);
    void plotResiduals(const cFitStatistics &statistics, double xToTable, double yToTable);
    void replotWhenShown();
    void showNotes();

    Ui::FitReportWidget *ui;
    QList<FitRecord> fits;
    QStringList notes;
    // The changes since the fit shown (Change flags).
    int changes = 0;
    bool residualsOutOfDate = false;
};

#endif // FITREPORTWIDGET_H
