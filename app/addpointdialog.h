#ifndef ADDPOINTDIALOG_H
#define ADDPOINTDIALOG_H

#include <QDialog>

namespace Ui {
class AddPointDialog;
}

// The small modal dialog in which the user types one point: X, Y and dY.
class AddPointDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddPointDialog(QWidget *parent = nullptr);
    ~AddPointDialog() override;

    double getX() const { return x; }
    double getY() const { return y; }
    double getDelta() const { return delta; }

private slots:
    void on_buttonBox_accepted();
    void updateOkButton();

private:
    Ui::AddPointDialog *ui;
    double x = 0;
    double y = 0;
    double delta = 0;
};

#endif // ADDPOINTDIALOG_H
