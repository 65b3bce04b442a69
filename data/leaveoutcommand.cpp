#include "data/leaveoutcommand.h"

#include "data/pointtablemodel.h"

LeaveOutCommand::LeaveOutCommand(PointTableModel *model, std::vector<int> rows, bool leftOut,
                                 const QString &text)
    : PointTableCommand(model, text), rowNumbers(std::move(rows)), after(leftOut)
{
    before.reserve(rowNumbers.size());
    for (int row : rowNumbers)
        before.push_back(model->isLeftOut(row));
}

void LeaveOutCommand::redo()
{
    if (redoneAlready())
        return;
    model->setLeftOut(rowNumbers, std::vector<bool>(rowNumbers.size(), after));
}

void LeaveOutCommand::undo()
{
    model->setLeftOut(rowNumbers, before);
}

std::size_t LeaveOutCommand::heldBytes() const
{
    return sizeof(*this) + rowNumbers.capacity() * sizeof(int) + before.capacity() / 8;
}

PointTableCommand *LeaveOutCommand::takeOver()
{
    auto *successor = new LeaveOutCommand(model, {}, after, text());
    successor->rowNumbers.swap(rowNumbers);
    successor->before.swap(before);
    successor->succeed(*this);
    return successor;
}
