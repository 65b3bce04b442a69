#ifndef GRAPHVIEW_H
#define GRAPHVIEW_H

#include <QObject>
#include <QString>
#include <QVector>

#include <limits>

class QCPGraph;
class QCPItemRect;
class QCPAxis;
class QCPTextElement;
class QCustomPlot;
class QWidget;
class FitReportWidget;
class PointSource;

// The plot of the points (graph 0, blue diamonds with ±dY bars) and of the last fitted curve
// (graph 1, red line): its set-up, the refresh of the points with the full view, the curve drawn
// dashed while it no longer matches the table, the titles of its axes and above it, a legend
// that keeps out of the points' way, and its exports (SaveGraph, Export Graph, Copy Graph).
class GraphView : public QObject
{
    Q_OBJECT

public:
    // What an export came to.
    enum class Export
    {
        Cancelled,
        Saved,
        Failed
    };

    // The residual plot of report keeps the X range of plot.
    GraphView(QCustomPlot *plot, FitReportWidget *report, const PointSource *points,
              QObject *parent);

    // Replaces the plotted points by the table's and draws them in the full view.
    void update();
    // The points and the full view, without drawing.
    void refreshPoints();
    // Whether the plot shows the points of the table as it is, in the full view of the last
    // refresh.
    bool pointsInFullView() const;
    // The table or the calibration changed: the points drawn are no longer the table's.
    void pointsChanged() { pointsCurrent = false; }

    // Draws the curve dashed while it no longer matches the table.
    void setCurveOutOfDate(bool outOfDate);
    // Puts in the curve of a new fit, sampled at keys, and draws it; the points are drawn anew
    // (with the full view) unless pointsShown says they are drawn already.
    void showCurve(const QVector<double> &keys, const QVector<double> &values, bool pointsShown);
    // The X range in view.
    double xLower() const;
    double xUpper() const;

    // Shades the plot outside the fit range, from to to in X (NaN for an open end; both open
    // shade nothing), and draws it when that changed.
    void setFitRange(double from, double to);
    // The graph that draws the points left out of the fit hollow, over their own points.
    QCPGraph *leftOutGraph() const { return leftOut; }

    // Asks for a file name and exports the plot; *failure gets the message of a failure.
    Export exportGraph(QWidget *parent, QString *failure);
    // The Export Graph dialog; true when it wrote a file.
    bool exportWithDialog(QWidget *parent);
    // Puts the plot on the clipboard as an image of twice the screen's resolution.
    void copyGraph();

    // The titles of the X and Y axes (the residual plot's follow them) and the line above the
    // plot; empty for none. They last for the session and go into every export.
    void setTitles(const QString &titleX, const QString &titleY, const QString &titlePlot);
    QString titleX() const;
    QString titleY() const;
    QString titlePlot() const;
    // The Graph Titles dialog.
    void editTitles(QWidget *parent);

    // Shows or hides the legend of the points and the fit.
    void setLegendVisible(bool visible);

private:
    void editAxisTitle(QCPAxis *axis);
    void fitShown(const QString &methodName, const QString &A, const QString &Fc);
    void nameCurve();

    QCustomPlot *plot;
    FitReportWidget *report;
    // The line above the plot, in a layout row of its own while there is one.
    QCPTextElement *title = nullptr;
    // The legend's text of the fit shown, empty before the first.
    QString fitName;
    const PointSource *points;
    bool curveOutOfDate = false;
    // Whether the points drawn are those of the table and calibration as they are, and the
    // axis ranges of the full view they were drawn in.
    bool pointsCurrent = false;
    QVector<double> fullView;
    QCPGraph *leftOut = nullptr;
    // The plot outside the fit range, left and right of it.
    QCPItemRect *shadeBelow = nullptr;
    QCPItemRect *shadeAbove = nullptr;
    double shownFrom = std::numeric_limits<double>::quiet_NaN();
    double shownTo = std::numeric_limits<double>::quiet_NaN();
};

#endif // GRAPHVIEW_H
