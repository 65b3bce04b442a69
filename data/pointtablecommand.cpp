#include "data/pointtablecommand.h"

// Serials are handed out on the GUI thread, which alone changes the table.
static quint64 lastSerial = 0;

PointTableCommand::PointTableCommand(PointTableModel *model, const QString &text)
    : QUndoCommand(text), model(model), number(++lastSerial)
{
}

bool PointTableCommand::redoneAlready()
{
    const bool skip = skipRedo;
    skipRedo = false;
    return skip;
}

PointTableCommand *PointTableCommand::succeed(const PointTableCommand &earlier)
{
    number = earlier.number;
    skipRedo = true;
    return this;
}
