#include "data/removerowscommand.h"

#include "data/pointtablemodel.h"

RemoveRowsCommand::RemoveRowsCommand(PointTableModel *model, std::vector<int> rowNumbers,
                                     const QString &text)
    : PointTableCommand(model, text), rowNumbers(std::move(rowNumbers))
{
}

void RemoveRowsCommand::redo()
{
    if (redoneAlready())
        return;
    held = model->takePointsAt(rowNumbers);
}

void RemoveRowsCommand::undo()
{
    model->insertPointsAt(rowNumbers, held);
    held = std::vector<DataPoint>();
}

std::size_t RemoveRowsCommand::heldBytes() const
{
    return sizeof(*this) + held.capacity() * sizeof(DataPoint) +
           rowNumbers.capacity() * sizeof(int);
}

PointTableCommand *RemoveRowsCommand::takeOver()
{
    auto *successor = new RemoveRowsCommand(model, {}, text());
    successor->succeed(*this);
    successor->rowNumbers.swap(rowNumbers);
    successor->held.swap(held);
    return successor;
}
