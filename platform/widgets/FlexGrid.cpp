#include "platform/widgets/FlexGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

namespace orra {

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    // Tab leaves the grid for the next control, as on the original forms.
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { emit scrolled(); });
    setRowCount(0);
}

int FlexGrid::rows() const { return rowCount() + m_fixedRows; }

void FlexGrid::setRows(int rows)
{
    const int wanted = std::max(0, rows - m_fixedRows);
    const int before = rowCount();
    setRowCount(wanted);
    for (int r = before; r < wanted; ++r)
        for (int c = 0; c < columnCount(); ++c) ensureItem(r + m_fixedRows, c);
    if (m_lastRow >= this->rows()) {
        m_lastRow = -1;
        m_lastCol = -1;
    }
}

void FlexGrid::setCols(int cols)
{
    const int before = columnCount();
    setColumnCount(std::max(0, cols));
    for (int c = before; c < columnCount(); ++c) {
        if (m_fixedRows > 0 && !horizontalHeaderItem(c)) setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
        for (int r = 0; r < rowCount(); ++r) ensureItem(r + m_fixedRows, c);
    }
}

void FlexGrid::setFixedRows(int fixed)
{
    m_fixedRows = fixed > 0 ? 1 : 0;
    horizontalHeader()->setVisible(m_fixedRows == 1);
}

void FlexGrid::setFixedCols(int fixed)
{
    m_fixedCols = std::max(0, fixed);
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* it = item(r, c)) styleFixedItem(it, c);
}

void FlexGrid::styleFixedItem(QTableWidgetItem* it, int col)
{
    if (col < m_fixedCols) {
        it->setFlags(Qt::ItemIsEnabled);
        // The active colours: a grid that is disabled while it is filled must not paint its
        // fixed cells grey for good.
        it->setBackground(palette().brush(QPalette::Active, QPalette::Button));
        it->setForeground(palette().brush(QPalette::Active, QPalette::ButtonText));
    } else {
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
}

QTableWidgetItem* FlexGrid::ensureItem(int row, int col)
{
    const int r = modelRow(row);
    if (r < 0 || r >= rowCount() || col < 0 || col >= columnCount()) return nullptr;
    QTableWidgetItem* it = item(r, col);
    if (!it) {
        it = new QTableWidgetItem;
        styleFixedItem(it, col);
        setItem(r, col, it);
    }
    return it;
}

QString FlexGrid::textMatrix(int row, int col) const
{
    if (row < m_fixedRows) {
        const QTableWidgetItem* h = horizontalHeaderItem(col);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* it = item(modelRow(row), col);
    return it ? it->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (col < 0 || col >= columnCount()) return;
    if (row < m_fixedRows) {
        QTableWidgetItem* h = horizontalHeaderItem(col);
        if (!h) {
            h = new QTableWidgetItem;
            setHorizontalHeaderItem(col, h);
        }
        h->setText(text);
        return;
    }
    if (QTableWidgetItem* it = ensureItem(row, col)) {
        it->setText(text);
        // A cell narrower than its text still lets the whole text be read.
        it->setToolTip(text);
    }
}

QColor FlexGrid::cellBackColor(int row, int col) const
{
    const QTableWidgetItem* it = row >= m_fixedRows ? item(modelRow(row), col) : nullptr;
    if (!it || it->background().style() == Qt::NoBrush) return palette().color(QPalette::Active, QPalette::Base);
    return it->background().color();
}

void FlexGrid::setCellBackColor(int row, int col, const QColor& color)
{
    if (QTableWidgetItem* it = ensureItem(row, col)) it->setBackground(color);
}

int FlexGrid::row() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + m_fixedRows : -1;
}

int FlexGrid::col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

void FlexGrid::setCurrentCell(int row, int col, bool notify)
{
    const bool was = m_silent;
    m_silent = !notify;
    const int r = modelRow(row);
    if (r >= 0 && r < rowCount() && col >= 0 && col < columnCount()) QTableWidget::setCurrentCell(r, col);
    m_silent = was;
    if (!notify) {
        m_lastRow = this->row();
        m_lastCol = this->col();
    }
}

QRect FlexGrid::cellRect(int row, int col) const
{
    if (row < m_fixedRows) {
        const int x = horizontalHeader()->sectionViewportPosition(col);
        return QRect(x, -horizontalHeader()->height(), columnWidth(col), horizontalHeader()->height());
    }
    return visualRect(model()->index(modelRow(row), col));
}

void FlexGrid::setUniformRowHeight(int height)
{
    m_rowHeight = height;
    verticalHeader()->setMinimumSectionSize(std::min(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
    for (int r = 0; r < rowCount(); ++r) setRowHeight(r, height);
    horizontalHeader()->setFixedHeight(height);
}

int FlexGrid::topRow() const
{
    const int r = rowAt(0);
    return (r < 0 ? 0 : r) + m_fixedRows;
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableWidget::currentChanged(current, previous);
    // A fixed column is never current: the row's first movable cell takes its place.
    if (current.isValid() && current.column() < m_fixedCols && m_fixedCols < columnCount()) {
        setCurrentIndex(model()->index(current.row(), m_fixedCols));
        return;
    }
    const int newRow = current.isValid() ? current.row() + m_fixedRows : -1;
    const int newCol = current.isValid() ? current.column() : -1;
    if (newRow == m_lastRow && newCol == m_lastCol) return;
    const int oldRow = m_lastRow;
    const int oldCol = m_lastCol;
    m_lastRow = newRow;
    m_lastCol = newCol;
    if (m_silent) return;
    if (oldRow >= 0) emit leaveCell(oldRow, oldCol);
    if (newRow >= 0) emit enterCell(newRow, newCol);
}

void FlexGrid::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key(), event->modifiers());
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter belongs to the grid (it opens the cell's editor), not to a dialog's default button.
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

}   // namespace orra
