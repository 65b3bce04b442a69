#include "app/graphtitlesdialog.h"

#include "ui_graphtitlesdialog.h"

GraphTitlesDialog::GraphTitlesDialog(const QString &titleX, const QString &titleY,
                                     const QString &titlePlot, QWidget *parent)
    : QDialog(parent), ui(new Ui::GraphTitlesDialog)
{
    ui->setupUi(this);
    ui->leTitleX->setText(titleX);
    ui->leTitleY->setText(titleY);
    ui->leTitlePlot->setText(titlePlot);
    ui->leTitleX->setFocus();
}

GraphTitlesDialog::~GraphTitlesDialog()
{
    delete ui;
}

// A title of blanks alone is no title.
QString GraphTitlesDialog::titleX() const
{
    return ui->leTitleX->text().trimmed();
}

QString GraphTitlesDialog::titleY() const
{
    return ui->leTitleY->text().trimmed();
}

QString GraphTitlesDialog::titlePlot() const
{
    return ui->leTitlePlot->text().trimmed();
}
