#ifndef EXPORTGRAPHDIALOG_H
#define EXPORTGRAPHDIALOG_H

#include <QDialog>

#include "plot/graphexport.h"

namespace Ui {
class ExportGraphDialog;
}

class QCustomPlot;
class QTimer;

// Exports the plot to a file of a chosen format, page size, resolution and text size, with or
// without the residual plot under it, and shows the page as it will be written. OK writes the
// file and closes the dialog; a failure is reported and the dialog stays open.
class ExportGraphDialog : public QDialog
{
    Q_OBJECT

public:
    // residuals may be null: there is then no residual plot to include.
    ExportGraphDialog(QCustomPlot *plot, QCustomPlot *residuals, QWidget *parent = nullptr);
    ~ExportGraphDialog() override;

    GraphExport::Format format() const;
    GraphExport::Page page() const;
    QString fileName() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void on_tbExportFile_clicked();
    void on_buttonBox_accepted();

private:
    void formatChanged();
    void unitChanged();
    void fileNameEdited();
    void showPixels();
    void schedulePreview();
    void showPreview();

    Ui::ExportGraphDialog *ui;
    QCustomPlot *plot;
    QCustomPlot *residuals;
    QTimer *previewTimer;
    // The name last confirmed in the file dialog, whose replacement was agreed to there.
    QString confirmedName;
};

#endif // EXPORTGRAPHDIALOG_H
