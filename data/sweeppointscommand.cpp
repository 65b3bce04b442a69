#include "data/sweeppointscommand.h"

namespace {

// The id QUndoStack merges by: the same for every sweep; mergeWith tells the sweeps apart.
constexpr int sweepCommandId = 0x5357;

} // namespace

SweepPointsCommand::SweepPointsCommand(PointTableModel *model, std::vector<DataPoint> points,
                                       quint64 sweep, const QString &textPattern)
    : AppendPointsCommand(model, std::move(points), QString()), sweep(sweep), pattern(textPattern)
{
    setText(pattern.arg(pointCount()));
}

int SweepPointsCommand::id() const
{
    return sweepCommandId;
}

// Takes in the next points of the same sweep, which the stack has just appended: this step now
// undoes them too, and names the table as they left it.
bool SweepPointsCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const SweepPointsCommand *>(other);
    if (!next || next->sweep != sweep || !next->isDone() || !isDone())
        return false;
    takeInDone(*next);
    setText(pattern.arg(pointCount()));
    return true;
}

PointTableCommand *SweepPointsCommand::takeOver()
{
    auto *successor = new SweepPointsCommand(model, {}, sweep, pattern);
    handOver(*successor);
    successor->setText(text());
    return successor;
}
