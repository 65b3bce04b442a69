#ifndef POINTTABLECHANGE_H
#define POINTTABLECHANGE_H

#include <QUndoCommand>

#include <vector>

#include "data/datapoint.h"

class PointTableModel;

// One undoable change of the table of points. The points a change takes out of the table
// (deleted rows, the whole table at Clear Data, appended rows once undone) are kept here, and
// nowhere else, until it is done again; so a change costs memory only for what it moved.
class PointTableChange : public QUndoCommand
{
public:
    // Rows appended at the end of the table.
    static PointTableChange *append(PointTableModel *model, std::vector<DataPoint> points,
                                    const QString &text);
    // The rows at the given ascending row numbers deleted.
    static PointTableChange *remove(PointTableModel *model, std::vector<int> rowNumbers,
                                    const QString &text);
    // Every row deleted.
    static PointTableChange *clear(PointTableModel *model, const QString &text);
    // One cell given a new number.
    static PointTableChange *edit(PointTableModel *model, int row, int column, double value,
                                  const QString &text);

    void redo() override;
    void undo() override;

    // A number no other change of this run of the program has: it names the table as this
    // change leaves it, so that a saved state is still known once older changes are gone.
    quint64 serial() const { return number; }
    // The memory the change holds beside the table.
    std::size_t heldBytes() const;
    // A change that takes over all this one holds (this one is left empty); it is pushed onto a
    // stack rebuilt without older changes, so its first redo leaves the table alone.
    PointTableChange *takeOver();

private:
    enum Kind
    {
        Append,
        Remove,
        Clear,
        Edit
    };

    PointTableChange(Kind kind, PointTableModel *model, const QString &text);

    Kind kind;
    PointTableModel *model;
    quint64 number;
    bool skipRedo = false;
    // Append: the rows while they are out of the table; Remove: the deleted rows; Clear: the
    // whole table while it is cleared.
    std::vector<DataPoint> held;
    // Append: how many rows; Remove: the row numbers of the deleted rows.
    std::size_t count = 0;
    std::vector<int> rowNumbers;
    // Edit: the cell and its two numbers.
    int row = 0;
    int column = 0;
    double before = 0;
    double after = 0;
};

#endif // POINTTABLECHANGE_H
