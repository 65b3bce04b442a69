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
// every fit of the session. Copy Report puts the report on the clipboard as text, the record
// tab-separated below the summary, and Save Report writes the same text to a file. Every
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
    // says which of its points had their correction extrapolated; origin is what the points
    // came from.
    void showFit(const FitJob &job, const QString &methodName, const QString &extrapolation,
                 const FitOrigin &origin);

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
    static FitRecord recordOf(const FitJob &job, const FitOrigin &origin);

    // The report as text: the heading, the points, each name and value of the summary on a
    // line of its own, the notes, the data file and the calibration of the fit shown, a blank
    // line and the record as tab-separated lines. Copy Report and Save Report give this text.
    QString reportText() const;

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
    // Asks for a file name and writes reportText() to it as UTF-8.
    void saveReport();

signals:
    // Whether there is a report to save: a fit has been recorded.
    void reportAvailable(bool available);
    // What Save Report did, for the status bar.
    void statusMessage(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_pbCopyFitReport_clicked();
    void on_pbSaveFitReport_clicked();

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
    // What the fit shown came from; the summary holds a fit once one ran to its end.
    FitOrigin shownOrigin;
    bool hasShownFit = false;
    QStringList notes;
    // The changes since the fit shown (Change flags).
    int changes = 0;
    bool residualsOutOfDate = false;
};

#endif // FITREPORTWIDGET_H
