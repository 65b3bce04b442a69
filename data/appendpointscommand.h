#ifndef APPENDPOINTSCOMMAND_H
#define APPENDPOINTSCOMMAND_H

#include <vector>

#include "data/datapoint.h"
#include "data/pointtablecommand.h"

// Rows appended at the end of the table (Add Point, a timed run's point).
class AppendPointsCommand : public PointTableCommand
{
public:
    AppendPointsCommand(PointTableModel *model, std::vector<DataPoint> points, const QString &text);

    void redo() override;
    void undo() override;
    std::size_t heldBytes() const override;
    PointTableCommand *takeOver() override;

protected:
    // Moves what this command holds into successor.
    void handOver(AppendPointsCommand &successor);
    std::size_t pointCount() const { return count; }
    // Whether the rows are in the table (done or redone, not undone).
    bool isDone() const { return held.empty(); }
    // Makes the rows that next appended, right after this command's, part of this command:
    // both are done, and the table is named as next left it.
    void takeInDone(const AppendPointsCommand &next);

private:
    // The rows while they are out of the table, and how many they are.
    std::vector<DataPoint> held;
    std::size_t count;
};

#endif // APPENDPOINTSCOMMAND_H
