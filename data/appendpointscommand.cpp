#include "data/appendpointscommand.h"

#include "data/pointtablemodel.h"

AppendPointsCommand::AppendPointsCommand(PointTableModel *model, std::vector<DataPoint> points,
                                         const QString &text)
    : PointTableCommand(model, text), held(std::move(points)), count(held.size())
{
}

void AppendPointsCommand::redo()
{
    if (redoneAlready())
        return;
    model->insertPointsAtEnd(std::move(held));
    held = std::vector<DataPoint>();
}

void AppendPointsCommand::undo()
{
    held = model->takeLastPoints(static_cast<int>(count));
}

std::size_t AppendPointsCommand::heldBytes() const
{
    return sizeof(*this) + held.capacity() * sizeof(DataPoint);
}

PointTableCommand *AppendPointsCommand::takeOver()
{
    auto *successor = new AppendPointsCommand(model, {}, text());
    handOver(*successor);
    return successor;
}

void AppendPointsCommand::handOver(AppendPointsCommand &successor)
{
    successor.succeed(*this);
    successor.held.swap(held);
    successor.count = count;
}

void AppendPointsCommand::takeInDone(const AppendPointsCommand &next)
{
    count += next.count;
    takeSerial(next);
}
