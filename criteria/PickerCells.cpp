#include "criteria/PickerCells.h"

#include "platform/db/Recordset.h"

#include <QLocale>
#include <QTableWidgetItem>
#include <QTreeWidgetItem>

namespace orra::criteria {

namespace {

// Numeric cells before text cells, numbers by value, the rest as text.
bool lessThan(const QVariant& aNumber, const QString& aText, const QVariant& bNumber, const QString& bText)
{
    const bool an = aNumber.isValid(), bn = bNumber.isValid();
    if (an && bn) return aNumber.toDouble() < bNumber.toDouble();
    if (an != bn) return an;
    return aText.localeAwareCompare(bText) < 0;
}

class NumericTableItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override
    {
        return lessThan(data(numberRole), text(), other.data(numberRole), other.text());
    }
};

class NumericTreeItem : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int c = treeWidget() ? treeWidget()->sortColumn() : 0;
        return lessThan(data(c, numberRole), text(c), other.data(c, numberRole), other.text(c));
    }
};

}   // namespace

PickerCell pickerCell(const QVariant& v, db::DataType type)
{
    PickerCell cell;
    if (db::isNull(v)) return cell;
    cell.value = db::Recordset::valueText(v, type);
    cell.shown = cell.value;
    if (!db::isNumericType(type)) return cell;
    bool ok = false;
    const double number = QLocale::c().toDouble(cell.value, &ok);
    if (!ok) return cell;
    cell.numeric = true;
    cell.number = number;
    const QLocale locale;
    if (db::isIntegerType(type)) {
        bool whole = false;
        const qlonglong n = cell.value.toLongLong(&whole);
        cell.shown = whole ? locale.toString(n) : locale.toString(number, 'f', 0);
    } else {
        // As many decimals as the value's own text has: the locale changes the marks only.
        const int dot = cell.value.indexOf(QLatin1Char('.'));
        const bool exponent = cell.value.contains(QLatin1Char('e'), Qt::CaseInsensitive);
        cell.shown = exponent ? locale.toString(number, 'g', 15)
                              : locale.toString(number, 'f', dot < 0 ? 0 : int(cell.value.size()) - dot - 1);
    }
    return cell;
}

QTableWidgetItem* newPickerTableItem(const PickerCell& cell)
{
    auto* item = new NumericTableItem(cell.shown);
    item->setData(valueRole, cell.value);
    if (cell.numeric) {
        item->setData(numberRole, cell.number);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!cell.shown.isEmpty()) item->setToolTip(cell.shown);
    return item;
}

QTreeWidgetItem* newPickerTreeItem() { return new NumericTreeItem; }

void setPickerTreeCell(QTreeWidgetItem* item, int column, const PickerCell& cell)
{
    item->setText(column, cell.shown);
    item->setData(column, valueRole, cell.value);
    if (cell.numeric) {
        item->setData(column, numberRole, cell.number);
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!cell.shown.isEmpty()) item->setToolTip(column, cell.shown);
}

QString pickerValue(const QTableWidgetItem* item)
{
    if (!item) return QString();
    const QVariant v = item->data(valueRole);
    return v.isValid() ? v.toString() : item->text();
}

QString pickerValue(const QTreeWidgetItem* item, int column)
{
    if (!item) return QString();
    const QVariant v = item->data(column, valueRole);
    return v.isValid() ? v.toString() : item->text(column);
}

}   // namespace orra::criteria
