#include "data/addpointdialog.h"

#include <QDoubleValidator>
#include <QLocale>

#include "ui_addpointdialog.h"

// One validator, owned by the dialog, checks all three fields.
AddPointDialog::AddPointDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AddPointDialog)
{
    ui->setupUi(this);
    auto *validator = new QDoubleValidator(this);
    validator->setNotation(QDoubleValidator::ScientificNotation);
    ui->leX->setValidator(validator);
    ui->leY->setValidator(validator);
    ui->ledY->setValidator(validator);
}

AddPointDialog::~AddPointDialog()
{
    delete ui;
}

// A point is the decimal separator whatever the user's locale; what the validator lets
// through without being a number (an empty field, a lone sign) is 0.
void AddPointDialog::on_buttonBox_accepted()
{
    const QLocale c = QLocale::c();
    x = c.toDouble(ui->leX->text());
    y = c.toDouble(ui->leY->text());
    delta = c.toDouble(ui->ledY->text());
}
