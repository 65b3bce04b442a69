#ifndef POINTTABLEMODEL_H
#define POINTTABLEMODEL_H

#include <QAbstractTableModel>
#include <QVector>

#include <vector>

#include "data/datapoint.h"

class PointTableCommand;
class QUndoStack;

// The table of measured points: one contiguous vector of points, shown as the three columns
// "X", "Y" and "dY", each cell a double under the display and the edit role. Rows keep the
// order in which they were appended. A row left out of the fit is shown grey and italic; its
// mark moves with the row when others are deleted or put back.
//
// Every change the user makes (appending, reading a file, editing a cell, deleting rows,
// clearing) goes onto the undo stack, when the model has one, as one command (a
// PointTableCommand of its kind); the command then makes the change through the plain
// operations below. Each of them takes time linear in the rows it touches
// (deleting rows anywhere in the table: in the size of the table), however many changes came
// before.
class PointTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PointTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // A number for a cell: an edit command on the undo stack, or the change itself without one.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Changes from now on go onto stack (null: they are made at once and cannot be undone).
    void setUndoStack(QUndoStack *stack) { undoStack = stack; }
    // The memory the steps to undo may hold beside the table: after each new step the oldest
    // ones beyond it are dropped (the newest is always kept).
    void setUndoBudget(std::size_t bytes) { undoBudget = bytes; }
    std::size_t undoBudgetBytes() const { return undoBudget; }
    // A quarter of the physical memory.
    static std::size_t defaultUndoBudget();
    // Names the table as the steps done so far left it; the same number comes back when Undo
    // or Redo returns to it, and no other table has it.
    quint64 state() const;

    const std::vector<DataPoint> &points() const { return rows; }
    // One column as a vector of doubles in row order: 0 X, 1 Y, 2 dY.
    QVector<double> column(int column) const;

    // Makes the change that command stands for, as one step onto the undo stack (without one, at
    // once and for good). The model takes the command.
    void push(PointTableCommand *command);
    // The changes a user makes, each undoable as one step. text names it in the undo history.
    void appendPoints(std::vector<DataPoint> points, const QString &text);
    // Deletes the rows marked in selected (one mark per row) and returns how many went.
    int deleteRows(const std::vector<bool> &selected);
    // Deletes every row and returns how many went.
    int clearPoints();
    // Leaves the rows marked in selected out of the fit, or takes them back when every one of
    // them is left out already; returns how many rows changed.
    int toggleLeftOut(const std::vector<bool> &selected);
    // One mark per row: whether it is left out of the fit; and how many are.
    QVector<bool> leftOutRows() const;
    int leftOutCount() const;
    bool isLeftOut(int row) const;

    // Makes room for count more rows, so that appending them cannot run out of memory half-way;
    // throws std::bad_alloc when there is none. (Into an empty table they move without a copy.)
    void reserveRows(std::size_t count)
    {
        if (!rows.empty())
            rows.reserve(rows.size() + count);
    }

    // The plain operations the commands are made of. Row numbers are ascending.
    void insertPointsAtEnd(std::vector<DataPoint> points);
    std::vector<DataPoint> takeLastPoints(int count);
    // Puts each point back at its row (ascending rows as they will be once all are back).
    void insertPointsAt(const std::vector<int> &rowNumbers, const std::vector<DataPoint> &points);
    std::vector<DataPoint> takePointsAt(const std::vector<int> &rowNumbers);
    void swapPoints(std::vector<DataPoint> &other);
    void setCell(int row, int column, double value);
    // Gives each row its mark (one mark per row number).
    void setLeftOut(const std::vector<int> &rowNumbers, const std::vector<bool> &marks);
    double cellValue(int row, int column) const;

signals:
    // The oldest count steps could no longer be kept; newestText names the last of them.
    void undoStepsDropped(int count, const QString &newestText);

private:
    void keepUndoWithinBudget();

    std::vector<DataPoint> rows;
    QUndoStack *undoStack = nullptr;
    std::size_t undoBudget = defaultUndoBudget();
    // The state at the bottom of the undo stack: the table before its oldest step kept.
    quint64 baseState = 0;
};

#endif // POINTTABLEMODEL_H
