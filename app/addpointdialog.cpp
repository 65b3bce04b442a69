#include "app/addpointdialog.h"

#include <QLineEdit>
#include <QPushButton>

#include "data/numbertext.h"
#include "data/numbervalidator.h"
#include "ui_addpointdialog.h"

// One validator, owned by the dialog, checks all three fields; OK is offered only while each
// of them holds a number.
AddPointDialog::AddPointDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AddPointDialog)
{
    ui->setupUi(this);
    ui->lbHint->setText(NumberValidator::commaHint());
    auto *validator = new NumberValidator(this);
    for (QLineEdit *edit : {ui->leX, ui->leY, ui->ledY}) {
        edit->setValidator(validator);
        connect(edit, &QLineEdit::textChanged, this, &AddPointDialog::updateOkButton);
    }
    updateOkButton();
}

AddPointDialog::~AddPointDialog()
{
    delete ui;
}

// A field with a decimal comma is tinted and the hint below the fields says what to type
// instead.
void AddPointDialog::updateOkButton()
{
    const bool numbers = ui->leX->hasAcceptableInput() && ui->leY->hasAcceptableInput() &&
                         ui->ledY->hasAcceptableInput();
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(numbers);
    bool comma = false;
    for (QLineEdit *edit : {ui->leX, ui->leY, ui->ledY}) {
        const bool marked = NumberValidator::hasDecimalComma(edit->text());
        edit->setProperty("notAcceptable", marked);
        edit->setStyleSheet(marked ? QStringLiteral("QLineEdit { background-color: #ffd7d7; }")
                                   : QString());
        comma = comma || marked;
    }
    ui->lbHint->setVisible(comma);
}

// OK is enabled only while every field converts, so each conversion here succeeds.
void AddPointDialog::on_buttonBox_accepted()
{
    NumberText::toDouble(ui->leX->text(), &x);
    NumberText::toDouble(ui->leY->text(), &y);
    NumberText::toDouble(ui->ledY->text(), &delta);
}
