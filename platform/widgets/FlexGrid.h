#pragma once
// A flex-grid in the manner of the grids the original forms were drawn with, over
// QTableWidget: cells addressed by (row, column) with the fixed header row counted as row 0,
// fixed leading columns that never become the current cell, per-cell background colours,
// cell geometry for editors laid over a cell, and the EnterCell / LeaveCell / KeyDown /
// Scroll notifications.
//
// Row 0 is the horizontal header when fixedRows() is 1; data rows are 1 .. rows() - 1.

#include <QColor>
#include <QRect>
#include <QTableWidget>

namespace orra {

class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // Row and column counts, the fixed header row included.
    int rows() const;
    void setRows(int rows);
    int cols() const { return columnCount(); }
    void setCols(int cols);

    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int fixed);   // 0 or 1
    int fixedCols() const { return m_fixedCols; }
    void setFixedCols(int fixed);

    QString textMatrix(int row, int col) const;
    // Sets a cell's text; a data cell also shows its whole text as its tool tip.
    void setTextMatrix(int row, int col, const QString& text);

    QColor cellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, const QColor& color);

    // The current cell, in grid coordinates; -1 when there is none.
    int row() const;
    int col() const;
    // Makes (row, col) the current cell. With notify false no LeaveCell/EnterCell is raised
    // (the way a form fills its grid before anybody looks at it).
    void setCurrentCell(int row, int col, bool notify = true);

    // Geometry of a cell in the coordinates of viewport(), where overlay editors live.
    QRect cellRect(int row, int col) const;

    int colWidth(int col) const { return columnWidth(col); }
    void setColWidth(int col, int width) { setColumnWidth(col, width); }
    // One height for every row, the header row included.
    int uniformRowHeight() const { return m_rowHeight; }
    void setUniformRowHeight(int height);

    // The first data row at the top of the visible area (grid coordinates).
    int topRow() const;

signals:
    // Raised after the current cell moved: first leaveCell for the cell that was current,
    // then enterCell for the new one.
    void leaveCell(int row, int col);
    void enterCell(int row, int col);
    // Every key pressed on the grid itself, before the grid acts on it.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // The visible rows moved.
    void scrolled();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int modelRow(int gridRow) const { return gridRow - m_fixedRows; }
    QTableWidgetItem* ensureItem(int row, int col);
    void styleFixedItem(QTableWidgetItem* item, int col);

    int m_fixedRows = 1;
    int m_fixedCols = 0;
    int m_rowHeight = 0;
    bool m_silent = false;
    int m_lastRow = -1;
    int m_lastCol = -1;
};

}   // namespace orra
