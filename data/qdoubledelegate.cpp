#include "data/qdoubledelegate.h"

#include <QDebug>
#include <QLineEdit>

#include "data/numbertext.h"
#include "data/numbervalidator.h"

qDoubleDelegate::qDoubleDelegate(QObject *parent) : QItemDelegate(parent) {}

QWidget *qDoubleDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    Q_UNUSED(option);
    Q_UNUSED(index);
    auto *editor = new QLineEdit(parent);
    editor->setValidator(new NumberValidator(NumberValidator::FloatRange, editor));
    return editor;
}

void qDoubleDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const float value = index.model() ? index.model()->data(index, Qt::DisplayRole).toFloat() : 0;
    qDebug() << value;
    static_cast<QLineEdit *>(editor)->setText(QString::number(value, 'g', 6));
}

// The cell takes the edited number in single precision. Text that is not a number (an emptied
// cell, a lone sign) leaves the cell as it was rather than turning the measurement into 0.
void qDoubleDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                   const QModelIndex &index) const
{
    float value = 0;
    if (NumberText::toFloat(static_cast<QLineEdit *>(editor)->text(), &value))
        model->setData(index, value, Qt::DisplayRole);
}
