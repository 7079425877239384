#pragma once
// The element-tree pane ("Document Explorer"): one element tree per open editor window, all
// in the same place, only the active window's visible. The pane hands a new tree to each
// editor window when it loads, keeps every tree sized to its client area, and forwards the
// tree events by name to the main window's active child window.

#include "designer/editor/DocumentTree.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

namespace morvane {

class frmtvDocument : public QWidget {
    Q_OBJECT
public:
    // The one pane of the process, created (without a parent, hidden) when first asked for.
    static frmtvDocument* instance();
    // Registers the pane with the shell's pane creators under "frmtvDocument".
    static void registerPane();

    ~frmtvDocument() override;

    // A new tree at one above the highest index now loaded, sized like the template, invisible.
    Q_INVOKABLE morvane::DocumentTree* GetNewtvDocument();
    // Unloads a tree handed out by GetNewtvDocument (its index becomes free when it is the
    // highest).
    Q_INVOKABLE void UnloadtvDocument(QTreeWidget* tree);

    // The tree loaded at index (0 is the template), or null.
    DocumentTree* tvDocument(int index) const { return m_trees.value(index); }
    // The highest index loaded.
    int UBound() const;
    static int indexOf(const QTreeWidget* tree);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    explicit frmtvDocument(QWidget* parent = nullptr);
    void Form_Resize();
    void connectTree(DocumentTree* tree);
    void forwardNodeClick(QTreeWidgetItem* node);
    void showContextMenu(DocumentTree* tree, const QPoint& pos);

    QMap<int, QPointer<DocumentTree>> m_trees;
};

}   // namespace morvane
