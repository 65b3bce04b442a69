#include "data/qdoubledelegate.h"

#include <QDebug>
#include <QKeyEvent>
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
    editor->setValidator(new NumberValidator(editor));
    return editor;
}

void qDoubleDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const double value = index.model() ? index.model()->data(index, Qt::EditRole).toDouble() : 0;
    qDebug() << value;
    static_cast<QLineEdit *>(editor)->setText(NumberText::exact(value));
}

// Text that reads back as the cell's own number changes nothing, so opening a cell and pressing
// Enter leaves it, to the bit, as it was.
void qDoubleDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                   const QModelIndex &index) const
{
    const QString text = static_cast<QLineEdit *>(editor)->text();
    double value = 0;
    if (!NumberText::toDouble(text, &value)) {
        emit textRefused(
            NumberValidator::hasDecimalComma(text)
                ? tr("%1: \"%2\" was not stored").arg(NumberValidator::commaHint(), text)
                : tr("\"%1\" is not a number: it was not stored").arg(text));
        return;
    }
    if (value != model->data(index, Qt::EditRole).toDouble())
        model->setData(index, value, Qt::EditRole);
}

bool qDoubleDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QLineEdit *>(object);
    if (editor && event->type() == QEvent::KeyPress && !editor->hasAcceptableInput()) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Enter || key == Qt::Key_Return) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return QItemDelegate::eventFilter(object, event);
}
