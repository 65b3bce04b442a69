#include "data/readfilecommand.h"

ReadFileCommand::ReadFileCommand(PointTableModel *model, std::vector<DataPoint> points,
                                 const QString &fileName, const QString &text)
    : AppendPointsCommand(model, std::move(points), text), file(fileName)
{
}

PointTableCommand *ReadFileCommand::takeOver()
{
    auto *successor = new ReadFileCommand(model, {}, file, text());
    handOver(*successor);
    return successor;
}
