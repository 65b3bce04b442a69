#include "data/editcellcommand.h"

#include "data/pointtablemodel.h"

EditCellCommand::EditCellCommand(PointTableModel *model, int row, int column, double value,
                                 const QString &text)
    : PointTableCommand(model, text), row(row), column(column),
      before(model->cellValue(row, column)), after(value)
{
}

void EditCellCommand::redo()
{
    if (redoneAlready())
        return;
    model->setCell(row, column, after);
}

void EditCellCommand::undo()
{
    model->setCell(row, column, before);
}

PointTableCommand *EditCellCommand::takeOver()
{
    auto *successor = new EditCellCommand(model, row, column, after, text());
    successor->before = before;
    successor->succeed(*this);
    return successor;
}
