#pragma once
// How the record pickers show a value: numbers in the user's locale, right-aligned and ordered
// by value; everything else as its text. The text handed back to the host is always the
// value's own text ("115.26"), never the locale's form ("115,26").

#include "platform/db/Types.h"

#include <QString>
#include <QVariant>

class QTableWidgetItem;
class QTreeWidgetItem;

namespace orra::criteria {

struct PickerCell {
    QString value;   // the value's own text: what a choice returns
    QString shown;   // what the user reads
    bool numeric = false;
    double number = 0;   // the sort key of a numeric cell
};

PickerCell pickerCell(const QVariant& v, db::DataType type);

// A table cell for the single-record picker, a tree cell for the multi-record picker; both
// keep the value's own text under valueRole and order numeric cells by value.
constexpr int valueRole = Qt::UserRole + 1;
constexpr int numberRole = Qt::UserRole + 2;
QTableWidgetItem* newPickerTableItem(const PickerCell& cell);
void setPickerTreeCell(QTreeWidgetItem* item, int column, const PickerCell& cell);
// The tree item class whose ordering knows numeric cells.
QTreeWidgetItem* newPickerTreeItem();
// The value text of a picker cell (valueRole, or the shown text for cells made elsewhere).
QString pickerValue(const QTableWidgetItem* item);
QString pickerValue(const QTreeWidgetItem* item, int column);

// The widest a picker column grows when sized to its contents, in average characters.
constexpr int maxPickerColumnChars = 40;

}   // namespace orra::criteria
