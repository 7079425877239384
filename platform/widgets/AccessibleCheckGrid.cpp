#include "platform/widgets/AccessibleCheckGrid.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTableView>

namespace orra {
namespace {

const char* const kMarker = "orraCheckCellsToggle";

// One cell of the grid, or (row -1) the header of a column.
class AccessibleCheckCell : public QAccessibleInterface,
                            public QAccessibleTableCellInterface,
                            public QAccessibleActionInterface {
public:
    AccessibleCheckCell(QTableView* view, int row, int column) : m_view(view), m_row(row), m_column(column) {}

    bool header() const { return m_row < 0; }
    QModelIndex index() const { return m_view && !header() ? m_view->model()->index(m_row, m_column) : QModelIndex(); }

    bool isValid() const override
    {
        return m_view && m_view->model() && m_column < m_view->model()->columnCount()
            && (header() || m_row < m_view->model()->rowCount());
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) return QString();
        if (header())
            return t == QAccessible::Name
                ? m_view->model()->headerData(m_column, Qt::Horizontal, Qt::DisplayRole).toString()
                : QString();
        const QModelIndex i = index();
        if (t == QAccessible::Name) {
            const QString named = i.data(Qt::AccessibleTextRole).toString();
            return named.isEmpty() ? i.data(Qt::DisplayRole).toString() : named;
        }
        if (t == QAccessible::Description) return i.data(Qt::AccessibleDescriptionRole).toString();
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid()) return QRect();
        if (header()) {
            QHeaderView* h = m_view->horizontalHeader();
            const QRect r(h->sectionViewportPosition(m_column), 0, h->sectionSize(m_column), h->height());
            return QRect(h->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        const QRect r = m_view->visualRect(index());
        return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return header() ? QAccessible::ColumnHeader : QAccessible::Cell; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) return s;
        if (header()) return s;
        const QModelIndex i = index();
        const Qt::ItemFlags flags = i.flags();
        s.disabled = !(flags & Qt::ItemIsEnabled);
        s.selectable = bool(flags & Qt::ItemIsSelectable);
        s.selected = isSelected();
        s.focusable = true;
        s.focused = m_view->hasFocus() && m_view->currentIndex() == i;
        s.active = m_view->currentIndex() == i;
        const QVariant check = i.data(Qt::CheckStateRole);
        if (check.isValid()) {
            s.checkable = true;
            s.checked = check.toInt() == Qt::Checked;
            s.checkStateMixed = check.toInt() == Qt::PartiallyChecked;
        }
        s.invisible = !m_view->viewport()->rect().intersects(m_view->visualRect(i));
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // --- Table cell
    bool isSelected() const override
    {
        return !header() && m_view && m_view->selectionModel() && m_view->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // --- Actions: toggle a box the user may tick; give a cell the focus.
    bool mayToggle() const
    {
        if (!isValid() || header()) return false;
        const QModelIndex i = index();
        return (i.flags() & Qt::ItemIsUserCheckable) && (i.flags() & Qt::ItemIsEnabled)
            && i.data(Qt::CheckStateRole).isValid() && m_view->isEnabled();
    }
    QStringList actionNames() const override
    {
        QStringList names;
        if (mayToggle()) names << toggleAction();
        if (isValid() && !header()) names << setFocusAction();
        return names;
    }
    void doAction(const QString& name) override
    {
        if (!isValid() || header()) return;
        const QModelIndex i = index();
        if (name == setFocusAction()) {
            m_view->setCurrentIndex(i);
            m_view->setFocus(Qt::OtherFocusReason);
        } else if (name == toggleAction() && mayToggle()) {
            // As a click on the box: the cell becomes current, and the model's check state
            // changes (the grid's handlers then apply their rules).
            m_view->setCurrentIndex(i);
            const bool checked = i.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            m_view->model()->setData(i, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTableView> m_view;
    int m_row;
    int m_column;
};

// The grid: column headers (when shown) as its first row of children, then the cells row by row.
class AccessibleCheckTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleCheckTable(QTableView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~AccessibleCheckTable() override { forgetCells(); }

    QTableView* view() const { return static_cast<QTableView*>(widget()); }
    QAbstractItemModel* model() const { return view()->model(); }
    int headerRows() const { return view()->horizontalHeader()->isHidden() ? 0 : 1; }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    int childCount() const override { return model() ? (rowCount() + headerRows()) * columnCount() : 0; }
    QAccessibleInterface* child(int i) const override
    {
        const int columns = columnCount();
        if (i < 0 || columns == 0 || i >= childCount()) return nullptr;
        return cell(i / columns - headerRows(), i % columns);
    }
    int indexOfChild(const QAccessibleInterface* iface) const override
    {
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(iface));
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
            if (it.value() == id) return (it.key().first + headerRows()) * columnCount() + it.key().second;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint local = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex i = view()->indexAt(local);
        return i.isValid() ? cell(i.row(), i.column()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex i = view()->currentIndex();
        return i.isValid() ? cell(i.row(), i.column()) : nullptr;
    }

    // --- Table
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount()) return nullptr;
        return cell(row, column);
    }
    int selectedCellCount() const override { return int(selectedIndexes().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& i : selectedIndexes()) cells.append(cell(i.row(), i.column()));
        return cells;
    }
    QString columnDescription(int column) const override
    {
        return model() ? model()->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int row) const override
    {
        return model() && !view()->verticalHeader()->isHidden() ? model()->headerData(row, Qt::Vertical).toString()
                                                                : QString();
    }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return model() ? model()->columnCount() : 0; }
    int rowCount() const override { return model() ? model()->rowCount() : 0; }
    QList<int> selectedColumns() const override
    {
        QList<int> columns;
        if (QItemSelectionModel* s = view()->selectionModel())
            for (const QModelIndex& i : s->selectedColumns()) columns.append(i.column());
        return columns;
    }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        if (QItemSelectionModel* s = view()->selectionModel())
            for (const QModelIndex& i : s->selectedRows()) rows.append(i.row());
        return rows;
    }
    bool isColumnSelected(int column) const override
    {
        QItemSelectionModel* s = view()->selectionModel();
        return s && s->isColumnSelected(column, QModelIndex());
    }
    bool isRowSelected(int row) const override
    {
        QItemSelectionModel* s = view()->selectionModel();
        return s && s->isRowSelected(row, QModelIndex());
    }
    bool selectRow(int row) override
    {
        if (row < 0 || row >= rowCount()) return false;
        view()->selectRow(row);
        return true;
    }
    bool selectColumn(int column) override
    {
        if (column < 0 || column >= columnCount()) return false;
        view()->selectColumn(column);
        return true;
    }
    bool unselectRow(int row) override
    {
        QItemSelectionModel* s = view()->selectionModel();
        if (!s || row < 0 || row >= rowCount()) return false;
        s->select(model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    bool unselectColumn(int column) override
    {
        QItemSelectionModel* s = view()->selectionModel();
        if (!s || column < 0 || column >= columnCount()) return false;
        s->select(model()->index(0, column), QItemSelectionModel::Deselect | QItemSelectionModel::Columns);
        return true;
    }
    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        // Values change in place; rows or columns that come or go renumber the cells.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged) forgetCells();
    }

    // The interface of a cell (row -1: a column header), made once and kept by the registry.
    QAccessibleInterface* cell(int row, int column) const
    {
        const QPair<int, int> at(row, column);
        if (const QAccessible::Id id = m_cells.value(at)) return QAccessible::accessibleInterface(id);
        auto* made = new AccessibleCheckCell(view(), row, column);
        m_cells.insert(at, QAccessible::registerAccessibleInterface(made));
        return made;
    }

private:
    QModelIndexList selectedIndexes() const
    {
        QItemSelectionModel* s = view()->selectionModel();
        return s ? s->selectedIndexes() : QModelIndexList();
    }
    void forgetCells()
    {
        for (const QAccessible::Id id : std::as_const(m_cells)) QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    mutable QHash<QPair<int, int>, QAccessible::Id> m_cells;
};

QList<QAccessibleInterface*> AccessibleCheckCell::columnHeaderCells() const
{
    auto* table = dynamic_cast<AccessibleCheckTable*>(parent());
    if (header() || !table || table->headerRows() == 0) return {};
    return {table->cell(-1, m_column)};
}

QAccessibleInterface* checkGrids(const QString&, QObject* object)
{
    auto* view = qobject_cast<QTableView*>(object);
    if (!view || !view->property(kMarker).toBool()) return nullptr;
    return new AccessibleCheckTable(view);
}

}   // namespace

void makeCheckCellsToggle(QTableView* grid)
{
    static const bool installed = [] {
        QAccessible::installFactory(&checkGrids);
        return true;
    }();
    (void)installed;
    grid->setProperty(kMarker, true);
    // An interface made for the grid before it was marked is replaced.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(grid);
    if (made && !dynamic_cast<AccessibleCheckTable*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

}   // namespace orra
