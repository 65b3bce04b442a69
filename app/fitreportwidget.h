#ifndef FITREPORTWIDGET_H
#define FITREPORTWIDGET_H

#include <QList>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "app/fitrecord.h"

namespace Ui {
class FitReportWidget;
}

class QCPRange;
class QCustomPlot;
class QLabel;
class FitJob;
class cFitStatistics;

// The contents of the Fit Report panel: the statistics of the last fit (points used, A and Fc
// with their standard errors, Fb and Ft, S, the reduced chi-square or residual variance, the
// steps and how the descent ended, how far the method's result lies from the least-squares
// minimum, and notes on what the fit left out), a plot of its residuals, and the record of
// every fit of the session, which Copy puts on the clipboard as tab-separated text. Every
// number is shown whole within whatever width the panel has: the summary's name-value pairs
// stand two to a line where they fit and one to a line where they do not, text wraps between
// words, and a panel narrower than a name and its longest word scrolls. Nothing in the report
// changes the size the panel asks for, so a fit never resizes the window or moves the panels
// beside it.
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

    // The size of the panel before any fit, whatever the report holds.
    QSize sizeHint() const override;

    // The residual plot, for the export that stacks it under the main plot.
    QCustomPlot *residualPlot() const;
    // Titles the residual plot's axes after the main plot's: the same X title, and the Y title
    // as "Y title − model" ("Y − model" while Y has none).
    void setAxisTitles(const QString &titleX, const QString &titleY);

signals:
    // A fit was shown: its method, and A and Fc with their standard errors as the summary
    // shows them.
    void fitShown(const QString &methodName, const QString &A, const QString &Fc);

public slots:
    // Keeps the X range of the residual plot that of the main plot.
    void followXRange(const QCPRange &range);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_pbCopyFitReport_clicked();

private:
    // One name and its value in the summary.
    struct Entry
    {
        QLabel *name;
        QLabel *value;
    };
    void addSummaryRow(const QString &name, const QString &value);
    void addSummaryPair(const QString &name1, const QString &value1, const QString &name2,
                        const QString &value2);
    Entry summaryEntry(const QString &name, const QString &value);
    void arrangeSummary();
    void appendRecord(const FitRecord &record);
    void plotResiduals(const cFitStatistics &statistics, double xToTable, double yToTable);
    void replotWhenShown();
    void showNotes();

    Ui::FitReportWidget *ui;
    // The summary's lines: one entry, or two that share a line where the width allows.
    QVector<QVector<Entry>> summary;
    // 1 or 2 entries to a line as the summary is laid out now, 0 when it is to be laid out.
    int summaryColumns = 0;
    QList<FitRecord> fits;
    QStringList notes;
    // The changes since the fit shown (Change flags).
    int changes = 0;
    bool residualsOutOfDate = false;
};

#endif // FITREPORTWIDGET_H
