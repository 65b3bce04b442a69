#include "data/pointtablemodel.h"

#include <QBrush>
#include <QFont>
#include <QPalette>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

#include "data/appendpointscommand.h"
#include "data/clearpointscommand.h"
#include "data/editcellcommand.h"
#include "data/leaveoutcommand.h"
#include "data/pointtablecommand.h"
#include "data/removerowscommand.h"

PointTableModel::PointTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int PointTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int PointTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

// A row left out of the fit reads in the disabled text colour, in italics.
QVariant PointTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if ((role == Qt::FontRole || role == Qt::ForegroundRole) && isLeftOut(index.row())) {
        if (role == Qt::ForegroundRole)
            return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    return cellValue(index.row(), index.column());
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        static const char *const names[] = {"X", "Y", "dY"};
        return section >= 0 && section < 3 ? QVariant(QLatin1String(names[section])) : QVariant();
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PointTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

// A number equal to the cell's to the bit changes nothing and leaves no step to undo.
bool PointTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return false;
    const double current = cellValue(index.row(), index.column());
    if (number == current && std::signbit(number) == std::signbit(current))
        return true;
    push(new EditCellCommand(this, index.row(), index.column(), number, tr("Edit Cell")));
    return true;
}

QVector<double> PointTableModel::column(int column) const
{
    QVector<double> values;
    values.reserve(static_cast<int>(rows.size()));
    for (const DataPoint &point : rows)
        values.append(column == 0 ? point.x : column == 1 ? point.y : point.dy);
    return values;
}

void PointTableModel::appendPoints(std::vector<DataPoint> points, const QString &text)
{
    if (points.empty())
        return;
    push(new AppendPointsCommand(this, std::move(points), text));
}

int PointTableModel::deleteRows(const std::vector<bool> &selected)
{
    std::vector<int> marked;
    const std::size_t n = std::min(selected.size(), rows.size());
    for (std::size_t row = 0; row < n; ++row) {
        if (selected[row])
            marked.push_back(static_cast<int>(row));
    }
    const int count = static_cast<int>(marked.size());
    if (count == 0)
        return 0;
    push(new RemoveRowsCommand(this, std::move(marked), tr("Delete Selection")));
    return count;
}

int PointTableModel::clearPoints()
{
    const int count = static_cast<int>(rows.size());
    if (count == 0)
        return 0;
    push(new ClearPointsCommand(this, tr("Clear Data")));
    return count;
}

int PointTableModel::toggleLeftOut(const std::vector<bool> &selected)
{
    std::vector<int> marked;
    bool allLeftOut = true;
    const std::size_t n = std::min(selected.size(), rows.size());
    for (std::size_t row = 0; row < n; ++row) {
        if (selected[row]) {
            marked.push_back(static_cast<int>(row));
            allLeftOut = allLeftOut && rows[row].leftOut;
        }
    }
    const int count = static_cast<int>(marked.size());
    if (count == 0)
        return 0;
    push(new LeaveOutCommand(this, std::move(marked), !allLeftOut,
                             allLeftOut ? tr("Take Back into Fit") : tr("Leave Out of Fit")));
    return count;
}

QVector<bool> PointTableModel::leftOutRows() const
{
    QVector<bool> marks;
    marks.reserve(static_cast<int>(rows.size()));
    for (const DataPoint &point : rows)
        marks.append(point.leftOut);
    return marks;
}

int PointTableModel::leftOutCount() const
{
    return static_cast<int>(std::count_if(rows.begin(), rows.end(),
                                          [](const DataPoint &point) { return point.leftOut; }));
}

bool PointTableModel::isLeftOut(int row) const
{
    return row >= 0 && row < static_cast<int>(rows.size()) &&
           rows[static_cast<std::size_t>(row)].leftOut;
}

// One dataChanged from the first to the last row changed, which the view repaints at once.
void PointTableModel::setLeftOut(const std::vector<int> &rowNumbers, const std::vector<bool> &marks)
{
    const std::size_t n = std::min(rowNumbers.size(), marks.size());
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const int row = rowNumbers[i];
        if (row < 0 || row >= static_cast<int>(rows.size()))
            continue;
        rows[static_cast<std::size_t>(row)].leftOut = marks[i];
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, 2), {Qt::FontRole, Qt::ForegroundRole});
}

std::size_t PointTableModel::defaultUndoBudget()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::size_t(256) << 20;
    return static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize);
}

quint64 PointTableModel::state() const
{
    if (!undoStack || undoStack->index() == 0)
        return baseState;
    return static_cast<const PointTableCommand *>(undoStack->command(undoStack->index() - 1))
        ->serial();
}

void PointTableModel::push(PointTableCommand *command)
{
    if (!undoStack) {
        command->redo();
        delete command;
        return;
    }
    undoStack->push(command);
    keepUndoWithinBudget();
}

// Right after a push there is nothing to redo, so every step on the stack is done. QUndoStack
// drops steps only by a count fixed while it is empty; so the steps that stay are taken over by
// new ones, the stack is emptied and they are pushed again without being redone. The memory of
// the dropped steps goes back to the system.
void PointTableModel::keepUndoWithinBudget()
{
    const int steps = undoStack->count();
    std::size_t held = 0;
    int keepFrom = 0;
    for (int i = steps - 1; i >= 0; --i) {
        held += static_cast<const PointTableCommand *>(undoStack->command(i))->heldBytes();
        if (held > undoBudget && i < steps - 1) {
            keepFrom = i + 1;
            break;
        }
    }
    if (keepFrom == 0 || undoStack->index() != steps)
        return;
    const auto *newestDropped =
        static_cast<const PointTableCommand *>(undoStack->command(keepFrom - 1));
    const QString droppedText = newestDropped->text();
    baseState = newestDropped->serial();
    std::vector<PointTableCommand *> kept;
    for (int i = keepFrom; i < steps; ++i)
        kept.push_back(const_cast<PointTableCommand *>(
                           static_cast<const PointTableCommand *>(undoStack->command(i)))
                           ->takeOver());
    undoStack->clear();
    for (PointTableCommand *command : kept)
        undoStack->push(command);
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    emit undoStepsDropped(keepFrom, droppedText);
}

// Into an empty table the points move without a copy.
void PointTableModel::insertPointsAtEnd(std::vector<DataPoint> points)
{
    if (points.empty())
        return;
    if (rows.empty()) {
        beginInsertRows(QModelIndex(), 0, static_cast<int>(points.size()) - 1);
        rows = std::move(points);
    } else {
        const int first = static_cast<int>(rows.size());
        rows.reserve(rows.size() + points.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(points.size()) - 1);
        rows.insert(rows.end(), points.begin(), points.end());
    }
    endInsertRows();
}

std::vector<DataPoint> PointTableModel::takeLastPoints(int count)
{
    const int total = static_cast<int>(rows.size());
    count = std::clamp(count, 0, total);
    if (count == 0)
        return {};
    beginRemoveRows(QModelIndex(), total - count, total - 1);
    std::vector<DataPoint> taken;
    if (count == total) {
        taken.swap(rows);
    } else {
        taken.assign(rows.end() - count, rows.end());
        rows.resize(static_cast<std::size_t>(total - count));
    }
    endRemoveRows();
    return taken;
}

// Whether the ascending row numbers form one block without gaps.
static bool contiguous(const std::vector<int> &rowNumbers)
{
    return !rowNumbers.empty() &&
           rowNumbers.back() - rowNumbers.front() + 1 == static_cast<int>(rowNumbers.size());
}

// The rows that stay are moved together in one pass. One block is removed as such, so that the
// view keeps its selection and place; rows from many places make the model start anew, which
// the view takes in one step instead of one per block.
std::vector<DataPoint> PointTableModel::takePointsAt(const std::vector<int> &rowNumbers)
{
    std::vector<DataPoint> taken;
    if (rowNumbers.empty())
        return taken;
    taken.reserve(rowNumbers.size());
    const bool block = contiguous(rowNumbers);
    if (block)
        beginRemoveRows(QModelIndex(), rowNumbers.front(), rowNumbers.back());
    else
        beginResetModel();
    std::size_t kept = static_cast<std::size_t>(rowNumbers.front());
    std::size_t next = 0;
    for (std::size_t row = kept; row < rows.size(); ++row) {
        if (next < rowNumbers.size() && static_cast<std::size_t>(rowNumbers[next]) == row) {
            taken.push_back(rows[row]);
            ++next;
        } else {
            rows[kept++] = rows[row];
        }
    }
    rows.resize(kept);
    if (block)
        endRemoveRows();
    else
        endResetModel();
    return taken;
}

// The table grows once, then every row moves to its final place from the back, so each moves
// only once.
void PointTableModel::insertPointsAt(const std::vector<int> &rowNumbers,
                                     const std::vector<DataPoint> &points)
{
    const std::size_t added = std::min(rowNumbers.size(), points.size());
    if (added == 0)
        return;
    const bool block = contiguous(rowNumbers);
    if (block)
        beginInsertRows(QModelIndex(), rowNumbers.front(), rowNumbers.back());
    else
        beginResetModel();
    std::size_t source = rows.size();
    rows.resize(rows.size() + added);
    std::size_t next = added;
    for (std::size_t row = rows.size(); row-- > 0 && next > 0;) {
        if (static_cast<std::size_t>(rowNumbers[next - 1]) == row)
            rows[row] = points[--next];
        else
            rows[row] = rows[--source];
    }
    if (block)
        endInsertRows();
    else
        endResetModel();
}

void PointTableModel::swapPoints(std::vector<DataPoint> &other)
{
    beginResetModel();
    rows.swap(other);
    endResetModel();
}

void PointTableModel::setCell(int row, int column, double value)
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    DataPoint &point = rows[static_cast<std::size_t>(row)];
    (column == 0 ? point.x : column == 1 ? point.y : point.dy) = value;
    emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole, Qt::EditRole});
}

double PointTableModel::cellValue(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return 0;
    const DataPoint &point = rows[static_cast<std::size_t>(row)];
    return column == 0 ? point.x : column == 1 ? point.y : point.dy;
}
