#ifndef EDITCELLCOMMAND_H
#define EDITCELLCOMMAND_H

#include "data/pointtablecommand.h"

// One cell given a new number (the cell editor).
class EditCellCommand : public PointTableCommand
{
public:
    // The cell's number before the edit is taken from the model.
    EditCellCommand(PointTableModel *model, int row, int column, double value, const QString &text);

    void redo() override;
    void undo() override;
    std::size_t heldBytes() const override { return sizeof(*this); }
    PointTableCommand *takeOver() override;

private:
    int row;
    int column;
    double before;
    double after;
};

#endif // EDITCELLCOMMAND_H
