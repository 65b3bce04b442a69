#ifndef QDOUBLEDELEGATE_H
#define QDOUBLEDELEGATE_H

#include <QItemDelegate>

// Cell editor of the data table: a line edit that accepts numbers in scientific notation,
// shows the cell with 6 significant digits and stores the edited value in single precision.
class qDoubleDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit qDoubleDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};

#endif // QDOUBLEDELEGATE_H
