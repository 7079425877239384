#include "designer/editor/ResultGridModel.h"

#include <algorithm>
#include <limits>

namespace morvane {

namespace db = orra::db;

ResultGridModel::ResultGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultGridModel::setRecordset(db::RecordsetPtr recordset)
{
    beginResetModel();
    m_recordset = std::move(recordset);
    m_set = m_recordset && m_recordset->isOpen() ? m_recordset->current() : nullptr;
    m_columns = m_set ? int(m_set->fields.size()) : 0;
    // A view counts rows in int; a larger result shows its first 2^31 - 1 rows.
    m_rows = m_set ? int(std::min<long>(m_set->rowCount(), std::numeric_limits<int>::max())) : 0;
    endResetModel();
}

int ResultGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int ResultGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_columns; }

QString ResultGridModel::cellText(int row, int column) const
{
    if (!m_set || row < 0 || row >= m_rows || column < 0 || column >= m_columns) return QString();
    const QVariant& v = m_set->values[size_t(row) * size_t(m_columns) + size_t(column)];
    if (db::isNull(v)) return QString();
    return db::Recordset::valueText(v, m_set->fields[size_t(column)].type);
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_set) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        // Numbers to the right, everything else to the left, as a grid aligns by default.
        return int(db::isNumericType(m_set->fields[size_t(index.column())].type) ? Qt::AlignRight | Qt::AlignVCenter
                                                                                 : Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (!m_set || section < 0 || section >= m_columns) return {};
    return m_set->fields[size_t(section)].name;
}

QString ResultGridModel::blockText(int r1, int c1, int r2, int c2) const
{
    QString text;
    for (int c = c1; c <= c2; ++c) {
        if (c > c1) text += QLatin1Char('\t');
        text += headerData(c, Qt::Horizontal).toString();
    }
    text += QLatin1Char('\n');
    for (int r = r1; r <= r2; ++r) {
        for (int c = c1; c <= c2; ++c) {
            if (c > c1) text += QLatin1Char('\t');
            text += cellText(r, c);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

}   // namespace morvane
