#pragma once
// The window "Dependencies": side by side, the documents that include the document DocID
// (lwDepandCurDoc) and the documents that it includes (lwCurDocDepand), as tbOrraRelations
// records them, each listed once. Modeless and kept on top; the lists are refilled whenever the
// window is activated; a double-click opens the listed document in its editor window.

#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace morvane {

class frmDependencies : public QWidget {
    Q_OBJECT
public:
    explicit frmDependencies(QWidget* parent = nullptr);

    // The one window of the process, made on first use (owned by parent).
    static frmDependencies* instance(QWidget* parent);

    long DocID = 0;

    QTreeWidget* lwDepandCurDoc() const { return m_includers; }
    QTreeWidget* lwCurDocDepand() const { return m_included; }

    // Shows the dependencies of document id, named name in the caption.
    void ShowFor(long id, const QString& name);
    void FillDependencyLists();
    // Opens the selected document of list (nothing without a selection).
    void OpenSelected(QTreeWidget* list);

protected:
    bool event(QEvent* e) override;

private:
    QTreeWidget* m_includers = nullptr;
    QTreeWidget* m_included = nullptr;
};

}   // namespace morvane
