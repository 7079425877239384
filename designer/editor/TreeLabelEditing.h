#pragma once
// Label editing in an element tree: the edit opens only when the active editor window's
// tvDocument_BeforeLabelEdit allows it, and the new label is kept only when its
// tvDocument_AfterLabelEdit does not cancel (both called by name, as every tree event).

#include <QStyledItemDelegate>

namespace morvane {

class TreeLabelDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}   // namespace morvane
