#include "app/aboutform.h"

#include "ui_aboutform.h"

AboutForm::AboutForm(QWidget *parent) : QDialog(parent), ui(new Ui::AboutForm)
{
    ui->setupUi(this);
    ui->label->setText(tr("The program is designed<br>"
                          "to smooth the experimental data<br>"
                          "<br>"
                          "Vantorel developers<br>"
                          "<a href=\"mailto:vantorel@example.org\">"
                          "vantorel@example.org</a><br>"
                          "version 0.6.0<br>"
                          "19.10.2018"));
}

AboutForm::~AboutForm()
{
    delete ui;
}
