#include "criteria/frmMultiSelectRecord.h"

#include "criteria/PickerCells.h"

#include "common/RecordsetOpener.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orra {

namespace {
const QString kSource = QStringLiteral("frmMultiSelectRecord");
const int kKeyRole = Qt::UserRole;

int twipsToPixels(const QWidget* w, int twips) { return twips * w->logicalDpiX() / 1440; }
}   // namespace

frmMultiSelectRecord::frmMultiSelectRecord(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMultiSelectRecord"));
    m_lv = new QTreeWidget(this);
    m_lv->setObjectName(QStringLiteral("lv"));
    m_lv->setRootIsDecorated(false);
    m_lv->setUniformRowHeights(true);
    m_lv->setAllColumnsShowFocus(true);
    m_lv->setAlternatingRowColors(true);
    m_lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lv->header()->setSectionsClickable(true);
    m_lv->header()->setSortIndicatorShown(false);
    m_lv->header()->setStretchLastSection(true);
    m_lv->installEventFilter(this);
    connect(m_lv->header(), &QHeaderView::sectionClicked, this, [this](int s) { lv_ColumnClick(s); });

    m_ok = new QPushButton(QStringLiteral("&Tamam "), this);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    m_cancel = new QPushButton(QStringLiteral("&İptal"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_clear = new QPushButton(QStringLiteral("T&emizle"), this);
    m_clear->setObjectName(QStringLiteral("cmdClear"));
    for (QPushButton* b : {m_ok, m_cancel, m_clear}) b->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timer->stop();
        OnTimer = false;
        FindKey.clear();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lv, 1);
    layout->addLayout(buttons);

    resize(520, 380);
}

void frmMultiSelectRecord::SetFieldWidth(int Index, int Width)
{
    if (Index < 0) return;
    while (m_fieldWidths.size() <= Index) m_fieldWidths.append(0);
    m_fieldWidths[Index] = Width;
    // The list column that shows field Index, when the rows are already there.
    const int column = m_columnField.indexOf(Index);
    if (column >= 0 && column < m_lv->columnCount()) {
        m_lv->setColumnHidden(column, Width < 0);
        if (Width > 0) m_lv->setColumnWidth(column, twipsToPixels(this, Width));
    }
}

int frmMultiSelectRecord::columnKeyed(const QString& key) const
{
    const QTreeWidgetItem* h = m_lv->headerItem();
    for (int c = 0; c < m_lv->columnCount(); ++c)
        if (h->data(c, kKeyRole).toString().compare(key, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

int frmMultiSelectRecord::fieldOfColumn(int column) const
{
    return column >= 0 && column < m_columnField.size() ? m_columnField[column] : -1;
}

void frmMultiSelectRecord::Form_Load()
{
    bool failed = false;
    db::RecordsetPtr rs = OpenRecordset(frmCon.get(), RsSQL, failed, adUseClient, adLockReadOnly, adOpenForwardOnly);
    if (failed || !rs) {
        QString text = QStringLiteral("The connection cannot be used to perform this operation. "
                                      "It is either closed or invalid in this context.");
        long number = db::kConnectionUnusable;
        if (frmCon && !frmCon->errors().isEmpty()) {
            text = frmCon->errors().first().description;
            number = frmCon->errors().first().number;
        }
        throw Error(number, kSource, text);
    }

    m_lv->clear();
    m_lv->setColumnCount(0);
    m_columnField.clear();
    if (!rs->isOpen() || rs->isBOF() || rs->isEOF()) return;

    const int fields = rs->fieldCount();
    const int keyField = rs->fieldIndex(ReturnField);
    if (keyField < 0)
        throw Error(db::kItemNotFound, kSource,
            QStringLiteral("Item cannot be found in the collection corresponding to the "
                           "requested name or ordinal."));

    // The returned field comes first, under its own name; the others follow in field order.
    m_columnField.append(keyField);
    for (int i = 0; i < fields; ++i)
        if (i != keyField) m_columnField.append(i);
    m_lv->setColumnCount(fields);
    QTreeWidgetItem* header = m_lv->headerItem();
    for (int c = 0; c < fields; ++c) {
        const QString name = rs->field(m_columnField[c]).name;
        header->setText(c, name);
        header->setData(c, kKeyRole, name);
    }

    while (m_fieldWidths.size() < fields) m_fieldWidths.append(0);
    for (int c = 0; c < fields; ++c) {
        const int w = m_fieldWidths[m_columnField[c]];
        m_lv->setColumnHidden(c, w < 0);
        if (w > 0) m_lv->setColumnWidth(c, twipsToPixels(this, w));
    }

    QStringList current;
    if (!ReturnValue.isNull())
        for (const QString& s : ReturnValue.toString().split(QLatin1Char(',')))
            if (!s.trimmed().isEmpty())   // a blank between two commas names no row
                current << s.trimmed();

    QList<QTreeWidgetItem*> items;
    QList<QTreeWidgetItem*> chosen;
    for (; !rs->isEOF(); rs->MoveNext()) {
        const QVariant& key = rs->value(keyField);
        if (db::isNull(key)) {
            qDeleteAll(items);
            throw Error(kInvalidUseOfNull, kSource, QStringLiteral("Invalid use of Null"));
        }
        QTreeWidgetItem* item = criteria::newPickerTreeItem();
        for (int c = 0; c < fields; ++c) {
            const int f = m_columnField[c];
            criteria::setPickerTreeCell(item, c, criteria::pickerCell(rs->value(f), rs->field(f).type));
        }
        if (current.contains(criteria::pickerValue(item, 0).trimmed())) chosen << item;
        items << item;
    }
    rs->close();
    m_lv->addTopLevelItems(items);
    // Columns without a width of their own fit every row (and the header), up to a maximum.
    const QFontMetrics fm = m_lv->fontMetrics();
    const int widest = fm.averageCharWidth() * criteria::maxPickerColumnChars;
    for (int c = 0; c < fields; ++c) {
        if (m_fieldWidths[m_columnField[c]] != 0) continue;
        int w = fm.horizontalAdvance(header->text(c));
        for (const QTreeWidgetItem* item : std::as_const(items)) w = std::max(w, fm.horizontalAdvance(item->text(c)));
        m_lv->setColumnWidth(c, std::min(w + fm.averageCharWidth() * 3, widest));
    }
    for (QTreeWidgetItem* item : chosen) item->setSelected(true);
    if (!chosen.isEmpty()) {
        m_lv->setCurrentItem(chosen.first(), 0, QItemSelectionModel::NoUpdate);
        m_lv->scrollToItem(chosen.first());
    }
}

int frmMultiSelectRecord::exec()
{
    IsOK = false;
    Form_Load();
    m_lv->setFocus();
    return QDialog::exec();
}

void frmMultiSelectRecord::lv_ColumnClick(int section)
{
    const QString key = m_lv->headerItem()->data(section, kKeyRole).toString();
    if (key == m_lastSortKey)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_lastSortKey = key;
    m_lv->header()->setSortIndicatorShown(true);
    m_lv->header()->setSortIndicator(section, m_sortOrder);
    m_lv->sortItems(section, m_sortOrder);
}

void frmMultiSelectRecord::cmdOk_Click()
{
    QString values, opt1, opt2;
    const int col1 = OptionalField1.isEmpty() ? -1 : columnKeyed(OptionalField1);
    bool numberOk = false;
    const int col2 = OptionalField2.isEmpty() ? -1 : OptionalField2.trimmed().toInt(&numberOk);
    for (int i = 0; i < m_lv->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_lv->topLevelItem(i);
        if (!item->isSelected()) continue;
        values += criteria::pickerValue(item, 0).trimmed() + QLatin1Char(',');
        if (!OptionalField1.isEmpty())
            opt1 += (col1 >= 0 ? criteria::pickerValue(item, col1).trimmed() : QString()) + QLatin1Char(',');
        if (!OptionalField2.isEmpty())
            opt2 +=
                (numberOk && col2 >= 0 ? criteria::pickerValue(item, col2).trimmed() : QString()) + QLatin1Char(',');
    }
    for (QString* s : {&values, &opt1, &opt2})
        if (s->endsWith(QLatin1Char(','))) s->chop(1);
    ReturnValue = values;
    OptionalField1Value = opt1;
    OptionalField2Value = opt2;
    IsOK = true;
    accept();
}

void frmMultiSelectRecord::cmdCancel_Click()
{
    IsOK = false;
    reject();
}

void frmMultiSelectRecord::cmdClear_Click() { m_lv->clearSelection(); }

bool frmMultiSelectRecord::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lv && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        const bool plain = (k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (enter) {
            if (plain) cmdOk_Click();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            if (plain) cmdCancel_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}   // namespace orra
