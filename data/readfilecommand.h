#ifndef READFILECOMMAND_H
#define READFILECOMMAND_H

#include <QString>

#include "data/appendpointscommand.h"

// The points of a data file appended at the end of the table (Open Data), in file order.
class ReadFileCommand : public AppendPointsCommand
{
public:
    ReadFileCommand(PointTableModel *model, std::vector<DataPoint> points, const QString &fileName,
                    const QString &text);

    QString fileName() const { return file; }
    PointTableCommand *takeOver() override;

private:
    QString file;
};

#endif // READFILECOMMAND_H
