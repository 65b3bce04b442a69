#include "data/pointtablechange.h"

#include "data/pointtablemodel.h"

// Serials are handed out on the GUI thread, which alone changes the table.
static quint64 lastSerial = 0;

PointTableChange::PointTableChange(Kind kind, PointTableModel *model, const QString &text)
    : QUndoCommand(text), kind(kind), model(model), number(++lastSerial)
{
}

std::size_t PointTableChange::heldBytes() const
{
    return sizeof(*this) + held.capacity() * sizeof(DataPoint) +
           rowNumbers.capacity() * sizeof(int);
}

PointTableChange *PointTableChange::takeOver()
{
    auto *change = new PointTableChange(kind, model, text());
    change->number = number;
    change->skipRedo = true;
    change->held.swap(held);
    change->count = count;
    change->rowNumbers.swap(rowNumbers);
    change->row = row;
    change->column = column;
    change->before = before;
    change->after = after;
    return change;
}

PointTableChange *PointTableChange::append(PointTableModel *model, std::vector<DataPoint> points,
                                           const QString &text)
{
    auto *change = new PointTableChange(Append, model, text);
    change->count = points.size();
    change->held = std::move(points);
    return change;
}

PointTableChange *PointTableChange::remove(PointTableModel *model, std::vector<int> rowNumbers,
                                           const QString &text)
{
    auto *change = new PointTableChange(Remove, model, text);
    change->rowNumbers = std::move(rowNumbers);
    return change;
}

PointTableChange *PointTableChange::clear(PointTableModel *model, const QString &text)
{
    return new PointTableChange(Clear, model, text);
}

PointTableChange *PointTableChange::edit(PointTableModel *model, int row, int column, double value,
                                         const QString &text)
{
    auto *change = new PointTableChange(Edit, model, text);
    change->row = row;
    change->column = column;
    change->before = model->cellValue(row, column);
    change->after = value;
    return change;
}

void PointTableChange::redo()
{
    if (skipRedo) {
        skipRedo = false;
        return;
    }
    switch (kind) {
    case Append:
        model->insertPointsAtEnd(std::move(held));
        held = std::vector<DataPoint>();
        break;
    case Remove:
        held = model->takePointsAt(rowNumbers);
        break;
    case Clear:
        model->swapPoints(held);
        break;
    case Edit:
        model->setCell(row, column, after);
        break;
    }
}

void PointTableChange::undo()
{
    switch (kind) {
    case Append:
        held = model->takeLastPoints(static_cast<int>(count));
        break;
    case Remove:
        model->insertPointsAt(rowNumbers, held);
        held = std::vector<DataPoint>();
        break;
    case Clear:
        model->swapPoints(held);
        break;
    case Edit:
        model->setCell(row, column, before);
        break;
    }
}
