#ifndef POINTTABLECOMMAND_H
#define POINTTABLECOMMAND_H

#include <QUndoCommand>

#include <cstddef>

class PointTableModel;

// One step of the table of points for Undo and Redo; each kind of change is a subclass that
// makes and takes back its own change through the model's plain operations. The points a step
// takes out of the table (deleted rows, the whole table at Clear Data, appended rows once
// undone) are kept in its command, and nowhere else, until it is done again; so a step costs
// memory only for what it moved.
class PointTableCommand : public QUndoCommand
{
public:
    // A number no other step of this run of the program has: it names the table as this step
    // leaves it, so that a saved state is still known once older steps are gone.
    quint64 serial() const { return number; }
    // The memory the step holds beside the table.
    virtual std::size_t heldBytes() const = 0;
    // A command that takes over all this one holds (this one is left empty); it is pushed onto
    // a stack rebuilt without older steps, so its first redo leaves the table alone.
    virtual PointTableCommand *takeOver() = 0;

protected:
    PointTableCommand(PointTableModel *model, const QString &text);

    // True once for a command that took over another: its first redo finds the table done.
    bool redoneAlready();
    // Makes this command the one that took over earlier: same serial, first redo skipped.
    PointTableCommand *succeed(const PointTableCommand &earlier);
    // Takes the serial of a later command merged into this one: the step now leaves the table
    // as that one did.
    void takeSerial(const PointTableCommand &later) { number = later.number; }

    PointTableModel *const model;

private:
    quint64 number;
    bool skipRedo = false;
};

#endif // POINTTABLECOMMAND_H
