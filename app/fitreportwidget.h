#ifndef FITREPORTWIDGET_H
#define FITREPORTWIDGET_H

#include <QList>
#include <QWidget>

#include "app/fitrecord.h"

namespace Ui {
class FitReportWidget;
}

class QCPRange;
class cFitStatistics;

// The contents of the Fit Report panel: the statistics of the last fit (points used, A and Fc
// with their standard errors, Fb and Ft, the objective, the reduced chi-square, the steps and
// how the descent ended), a plot of its residuals, and the record of every fit of the session,
// which Copy puts on the clipboard as tab-separated text.
class FitReportWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FitReportWidget(QWidget *parent = nullptr);
    ~FitReportWidget() override;

    // Shows a fit that ran to its end and adds it to the record. The statistics are those of
    // the points as the fit got them; xToTable turns their X into the unit of the table.
    void showFit(const FitRecord &record, const QString &methodName,
                 const cFitStatistics &statistics, double xToTable);

    // Adds a cancelled fit to the record; the summary and the residuals of the last fit stay.
    void addCancelledFit(const FitRecord &record);

public slots:
    // Keeps the X range of the residual plot that of the main plot.
    void followXRange(const QCPRange &range);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_pbCopyFitReport_clicked();

private:
    void appendRecord(const FitRecord &record);
    void plotResiduals(const cFitStatistics &statistics, double xToTable);
    void replotWhenShown();

    Ui::FitReportWidget *ui;
    QList<FitRecord> fits;
    bool residualsOutOfDate = false;
};

#endif // FITREPORTWIDGET_H
