#include "data/clearpointscommand.h"

#include "data/pointtablemodel.h"

ClearPointsCommand::ClearPointsCommand(PointTableModel *model, const QString &text)
    : PointTableCommand(model, text)
{
}

// The table and the held rows trade places, without a copy.
void ClearPointsCommand::redo()
{
    if (redoneAlready())
        return;
    model->swapPoints(held);
}

void ClearPointsCommand::undo()
{
    model->swapPoints(held);
}

std::size_t ClearPointsCommand::heldBytes() const
{
    return sizeof(*this) + held.capacity() * sizeof(DataPoint);
}

PointTableCommand *ClearPointsCommand::takeOver()
{
    auto *successor = new ClearPointsCommand(model, text());
    successor->succeed(*this);
    successor->held.swap(held);
    return successor;
}
