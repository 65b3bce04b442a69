#ifndef SWEEPPOINTSCOMMAND_H
#define SWEEPPOINTSCOMMAND_H

#include "data/appendpointscommand.h"

// The points of one frequency sweep. They come one by one, each pushed as a command of its
// own, and each merges into the step of the sweep before it, so the whole sweep is one step to
// undo however it ended. textPattern names the step with %1 for its number of points.
class SweepPointsCommand : public AppendPointsCommand
{
public:
    SweepPointsCommand(PointTableModel *model, std::vector<DataPoint> points, quint64 sweep,
                       const QString &textPattern);

    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;
    PointTableCommand *takeOver() override;

private:
    quint64 sweep;
    QString pattern;
};

#endif // SWEEPPOINTSCOMMAND_H
