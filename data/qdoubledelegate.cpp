#include "data/qdoubledelegate.h"

#include <QDebug>
#include <QDoubleValidator>
#include <QLineEdit>

qDoubleDelegate::qDoubleDelegate(QObject *parent) : QItemDelegate(parent) {}

QWidget *qDoubleDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    Q_UNUSED(option);
    Q_UNUSED(index);
    auto *editor = new QLineEdit(parent);
    auto *validator = new QDoubleValidator(editor);
    validator->setNotation(QDoubleValidator::ScientificNotation);
    editor->setValidator(validator);
    return editor;
}

void qDoubleDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const float value = index.model() ? index.model()->data(index, Qt::DisplayRole).toFloat() : 0;
    qDebug() << value;
    static_cast<QLineEdit *>(editor)->setText(QString::number(value, 'g', 6));
}

// The text is read with the C locale, so a point is the decimal separator whatever the
// user's locale; text that is not a number stores 0.
void qDoubleDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                   const QModelIndex &index) const
{
    const float value = QLocale::c().toFloat(static_cast<QLineEdit *>(editor)->text());
    model->setData(index, value, Qt::DisplayRole);
}
