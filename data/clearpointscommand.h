#ifndef CLEARPOINTSCOMMAND_H
#define CLEARPOINTSCOMMAND_H

#include <vector>

#include "data/datapoint.h"
#include "data/pointtablecommand.h"

// Every row deleted (Clear Data); the columns and their labels stay.
class ClearPointsCommand : public PointTableCommand
{
public:
    ClearPointsCommand(PointTableModel *model, const QString &text);

    void redo() override;
    void undo() override;
    std::size_t heldBytes() const override;
    PointTableCommand *takeOver() override;

private:
    // The whole table while it is cleared.
    std::vector<DataPoint> held;
};

#endif // CLEARPOINTSCOMMAND_H
