#include "designer/editor/TreeLabelEditing.h"

#include "designer/editor/MainWindowLink.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QLineEdit>
#include <QMetaObject>

namespace morvane {

namespace {
// Calls member on the active editor window; the window's answer (1 cancel, 0 go on), 1 when
// there is no window or the call failed (its error shown).
int askWindow(const char* member, const QString* newString)
{
    QWidget* target = activeChildWindow();
    if (!target) return 1;
    int cancel = 1;
    try {
        const bool ok = newString
            ? QMetaObject::invokeMethod(
                target, member, Qt::DirectConnection, Q_RETURN_ARG(int, cancel), Q_ARG(QString, *newString))
            : QMetaObject::invokeMethod(target, member, Qt::DirectConnection, Q_RETURN_ARG(int, cancel));
        if (!ok) throwNoSuchMember(target, QLatin1String(member));
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
        return 1;
    }
    return cancel;
}
}   // namespace

QWidget* TreeLabelDelegate::createEditor(
    QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (askWindow("tvDocument_BeforeLabelEdit", nullptr) != 0) return nullptr;
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void TreeLabelDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    const QString text = line->text();
    if (askWindow("tvDocument_AfterLabelEdit", &text) == 0) model->setData(index, text, Qt::EditRole);
}

}   // namespace morvane
