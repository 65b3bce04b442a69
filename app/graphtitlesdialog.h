#ifndef GRAPHTITLESDIALOG_H
#define GRAPHTITLESDIALOG_H

#include <QDialog>

namespace Ui {
class GraphTitlesDialog;
}

// The titles of the plot: the X axis, the Y axis and the line above the plot, each empty for
// none.
class GraphTitlesDialog : public QDialog
{
    Q_OBJECT

public:
    GraphTitlesDialog(const QString &titleX, const QString &titleY, const QString &titlePlot,
                      QWidget *parent = nullptr);
    ~GraphTitlesDialog() override;

    QString titleX() const;
    QString titleY() const;
    QString titlePlot() const;

private:
    Ui::GraphTitlesDialog *ui;
};

#endif // GRAPHTITLESDIALOG_H
