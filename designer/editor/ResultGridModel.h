#pragma once
// The result grid's model: one result set of a recordset, read when the view asks for a cell.
// Nothing is copied per row, so a result of a million rows costs the view no more than the
// rows it paints. The horizontal header holds the field names (the grid's row 0), the
// vertical header the 1-based row numbers. Cells show the database layer's text form of the
// value; NULL shows as an empty cell.

#include "platform/db/Recordset.h"

#include <QAbstractTableModel>

namespace morvane {

class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultGridModel(QObject* parent = nullptr);

    // Shows the recordset's current result set (kept alive with it); null clears the grid to
    // its header row without columns.
    void setRecordset(orra::db::RecordsetPtr recordset);
    orra::db::RecordsetPtr recordset() const { return m_recordset; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell as the grid shows it.
    QString cellText(int row, int column) const;
    // The block of rows r1..r2 and columns c1..c2 (inclusive, 0-based) headed by the column
    // names of c1..c2: cells joined by TAB, every row ended by a line feed.
    QString blockText(int r1, int c1, int r2, int c2) const;

private:
    orra::db::RecordsetPtr m_recordset;
    const orra::db::ResultSet* m_set = nullptr;
    int m_rows = 0;
    int m_columns = 0;
};

}   // namespace morvane
