#include "app/closequestion.h"

#include <QMessageBox>
#include <QPushButton>

CloseQuestion::Answer CloseQuestion::ask(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, tr("Vantorel"), text, QMessageBox::NoButton, parent);
    QPushButton *keep = box.addButton(tr("Stop and Keep"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QMessageBox::Discard);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == keep)
        return StopAndKeep;
    return box.clickedButton() == discard ? Discard : Cancel;
}
