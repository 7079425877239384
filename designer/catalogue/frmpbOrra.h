#pragma once
// The catalogue pane "Object Explorer": on the tab "Documents" the tree of categories and
// documents (tvOrra), on the tab "Repository" the element snippets grouped by tag
// (tvRepository). A double-click or Enter on a document opens it in its window (the shell's
// OpenDocumentWindow); a right-click offers the pop-up menu mnuPopuptvOrra; a left press and
// a move of more than 50 twips starts a drag of the node (dragNode). F2, or a click on the node
// that is selected already, opens its label for editing (a double-click opens the document
// instead); the Enter that ends the editing only ends it.
//
// Other windows reach the pane by name: the property dragNode (the dragged node's key, "" for
// none) and the invokable UpdateTvRepository, RefreshCatalogueTree and RefreshCategoryNode.

#include "platform/widgets/KeyedTree.h"

#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QAction;
class QDrag;
class QMenu;
class QTabWidget;

namespace morvane {

class frmpbOrra : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString dragNode READ dragNodeKey)

public:
    explicit frmpbOrra(QWidget* parent = nullptr);
    ~frmpbOrra() override;

    orra::KeyedTree* tvOrra() const { return m_tvOrra; }
    orra::KeyedTree* tvRepository() const { return m_tvRepository; }
    QTabWidget* tabOrra() const { return m_tabOrra; }
    const orra::ImageList& ImgListTv() const { return m_images; }
    // The pop-up menu of tvOrra: the main window's when there is one (frmMDIMain owns it and
    // calls the handlers the pane registers), else the pane's own.
    QMenu* mnuPopuptvOrra() const;
    // An item of that pop-up by name ("mnuPopuptvOrraRefresh", …); null when unknown.
    QAction* popupItem(const QString& name) const;

    // The node under the pointer at the last left-button press without Shift, Ctrl or Alt in
    // either tree, until the button is released; null otherwise.
    QTreeWidgetItem* dragNode() const { return m_dragNode; }
    QString dragNodeKey() const { return orra::KeyedTree::key(m_dragNode); }
    // Set while a drag that this pane started is under way.
    bool dragging() const { return m_dragging; }
    // Where the last left press was, in twips of the tree; (-1, -1) after other presses.
    QPoint dragStartPoint() const { return m_dragStart; }

    // The text of the status bar's "ID" panel that the last node click asks for.
    QString idPanelText() const { return m_idPanelText; }

    // Rebuilds tvRepository from tbOrraRepository (groups by trimmed Tag, items "K" & ID).
    Q_INVOKABLE void UpdateTvRepository();
    // Clears and fills tvOrra from the catalogue procedure, then clicks its first node.
    Q_INVOKABLE void RefreshCatalogueTree();
    // Reloads the sub-tree of the category node keyed key ("C" & ID), keeping it expanded or
    // collapsed as it was: its readable sub-categories by name, each with its own sub-tree,
    // then its readable documents by name.
    Q_INVOKABLE void RefreshCategoryNode(const QString& key);
    void FillCategoryChildren(long categoryId);
    void FillCategoryDocuments(long categoryId);

    // The node-click behaviour of tvOrra: the "ID" panel shows "ID:" & the tag of a document.
    void NodeClick(QTreeWidgetItem* node);
    // Opens the document of a "T" node (nothing for other nodes).
    void OpenNode(QTreeWidgetItem* node);

    // Does a move from the press point to now (both in twips) start a drag? Only a distance
    // of more than 50 twips in either direction does.
    static bool DragDistanceExceeded(QPoint start, QPoint now);
    // Pixels of widget to twips (1440 per logical inch).
    static QPoint PixelsToTwips(const QWidget* widget, QPoint pixels);
    static QPoint TwipsToPixels(const QWidget* widget, QPoint twips);

    // How a started drag is carried out; by default QDrag::exec. Tests replace it.
    using DragExecutor = std::function<Qt::DropAction(QDrag*)>;
    void setDragExecutor(DragExecutor executor) { m_dragExecutor = std::move(executor); }

    // The MIME type of a dragged node; its data is the node's key.
    static QString dragMimeType() { return QStringLiteral("application/x-orra-tree-node"); }

signals:
    // The "ID" panel text changed (the main window shows it in its status bar).
    void idPanelTextChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPopupMenu();
    void refreshSelectedCategory();
    void showPopupFor(QTreeWidgetItem* node, const QPoint& globalPos);
    void notYetAvailable(const QString& command);
    void addCatalogueNode(const QString& parentKey, QChar kind, long id, const QString& name, bool disabled);
    bool treeMouseEvent(orra::KeyedTree* tree, QEvent* event);
    bool treeDragEvent(QEvent* event);
    void startDrag(orra::KeyedTree* tree);
    void startClickedLabelEdit();

    orra::ImageList m_images;
    QTabWidget* m_tabOrra = nullptr;
    orra::KeyedTree* m_tvOrra = nullptr;
    orra::KeyedTree* m_tvRepository = nullptr;
    QMenu* m_popup = nullptr;   // the pane's own, when no main window holds one

    QTreeWidgetItem* m_dragNode = nullptr;
    QPoint m_dragStart{-1, -1};
    bool m_dragging = false;
    QString m_idPanelText;
    DragExecutor m_dragExecutor;
    // A left click on the selected node opens its label once the double-click time is over.
    QTimer m_labelEditTimer;
    orra::KeyedTree* m_labelEditTree = nullptr;
    QString m_labelEditKey;   // the node pressed while it was selected ("" for none)
};

// Registers the pane as the shell's creator of the form "frmpbOrra".
void RegisterCataloguePane();

}   // namespace morvane
