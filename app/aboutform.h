#ifndef ABOUTFORM_H
#define ABOUTFORM_H

#include <QDialog>

namespace Ui {
class AboutForm;
}

// The Help > About box: what the program is for, who made it and its version.
class AboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit AboutForm(QWidget *parent = nullptr);
    ~AboutForm() override;

private:
    Ui::AboutForm *ui;
};

#endif // ABOUTFORM_H
