#ifndef QDOUBLEDELEGATE_H
#define QDOUBLEDELEGATE_H

#include <QItemDelegate>

// Cell editor of the data table: a line edit that accepts numbers in scientific notation with a
// point as the decimal separator, opens with the shortest text that reads back as the cell's
// double and stores the edited number as a double. Unchanged text leaves the cell as it was;
// text that is not a number (a decimal comma, say) is refused, the cell keeps its number, and
// textRefused tells why.
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

signals:
    // A commit of text that is not a number was refused; message says why, with the text.
    void textRefused(const QString &message) const;

protected:
    // Enter commits also text the validator does not accept, so that its refusal is told.
    bool eventFilter(QObject *object, QEvent *event) override;
};

#endif // QDOUBLEDELEGATE_H
