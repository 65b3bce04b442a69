#ifndef LEAVEOUTCOMMAND_H
#define LEAVEOUTCOMMAND_H

#include <vector>

#include "data/pointtablecommand.h"

// The rows at the given ascending row numbers left out of the fit, or taken back into it
// (Leave Out of Fit); undo gives each row the mark it had.
class LeaveOutCommand : public PointTableCommand
{
public:
    // The marks before the change are taken from the model.
    LeaveOutCommand(PointTableModel *model, std::vector<int> rowNumbers, bool leftOut,
                    const QString &text);

    void redo() override;
    void undo() override;
    std::size_t heldBytes() const override;
    PointTableCommand *takeOver() override;

private:
    std::vector<int> rowNumbers;
    std::vector<bool> before;
    bool after;
};

#endif // LEAVEOUTCOMMAND_H
