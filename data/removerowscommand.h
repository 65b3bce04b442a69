#ifndef REMOVEROWSCOMMAND_H
#define REMOVEROWSCOMMAND_H

#include <vector>

#include "data/datapoint.h"
#include "data/pointtablecommand.h"

// The rows at the given ascending row numbers deleted (Delete Selection).
class RemoveRowsCommand : public PointTableCommand
{
public:
    RemoveRowsCommand(PointTableModel *model, std::vector<int> rowNumbers, const QString &text);

    void redo() override;
    void undo() override;
    std::size_t heldBytes() const override;
    PointTableCommand *takeOver() override;

private:
    std::vector<int> rowNumbers;
    // The deleted rows while they are out of the table.
    std::vector<DataPoint> held;
};

#endif // REMOVEROWSCOMMAND_H
