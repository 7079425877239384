#include "criteria/frmSelectRecord.h"

#include "common/RecordsetOpener.h"
#include "criteria/PickerCells.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orra {

namespace {
int twipsToPixels(const QWidget* w, int twips) { return twips * w->logicalDpiX() / 1440; }

QString providerErrorText(db::Connection* con)
{
    if (con && !con->errors().isEmpty()) {
        for (const db::ProviderError& e : con->errors())
            if (e.number != 0) return e.description;
        return con->errors().first().description;
    }
    return QStringLiteral("The connection cannot be used to perform this operation. "
                          "It is either closed or invalid in this context.");
}
}   // namespace

frmSelectRecord::frmSelectRecord(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelectRecord"));
    m_dg = new QTableWidget(this);
    m_dg->setObjectName(QStringLiteral("dg"));
    m_dg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dg->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dg->setSelectionMode(QAbstractItemView::SingleSelection);
    m_dg->setAlternatingRowColors(true);
    m_dg->setWordWrap(false);
    m_dg->verticalHeader()->setVisible(false);
    m_dg->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_dg->horizontalHeader()->setHighlightSections(false);
    m_dg->horizontalHeader()->setStretchLastSection(true);
    m_dg->verticalHeader()->setDefaultSectionSize(m_dg->fontMetrics().height() + 6);
    m_dg->installEventFilter(this);
    connect(m_dg, &QTableWidget::cellDoubleClicked, this, [this] { cmdOk_Click(); });

    m_ok = new QPushButton(QStringLiteral("&Tamam "), this);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    m_cancel = new QPushButton(QStringLiteral("&İptal"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_dg, 1);
    layout->addLayout(buttons);

    resize(520, 380);
}

void frmSelectRecord::SetFieldWidth(int Index, int Width)
{
    if (Index < 0) return;
    while (m_fieldWidths.size() <= Index) m_fieldWidths.append(0);
    m_fieldWidths[Index] = Width;
}

int frmSelectRecord::columnKeyed(const QString& key) const
{
    for (int c = 0; c < m_dg->columnCount(); ++c) {
        const QTableWidgetItem* h = m_dg->horizontalHeaderItem(c);
        if (h && h->data(Qt::UserRole).toString().compare(key, Qt::CaseInsensitive) == 0) return c;
    }
    return -1;
}

bool frmSelectRecord::Form_Activate()
{
    bool failed = false;
    db::RecordsetPtr rs = OpenRecordset(frmCon.get(), RsSQL, failed, adUseClient, adLockReadOnly, adOpenForwardOnly);
    if (failed || !rs) {
        userInterfaceOr(m_ui).messageBox(providerErrorText(frmCon.get()), vbOKOnly);
        return false;
    }
    if (!rs->isOpen() || rs->isBOF() || rs->isEOF()) return true;   // an empty picker

    const int fields = rs->fieldCount();
    m_dg->clear();
    m_dg->setRowCount(0);
    m_dg->setColumnCount(fields);
    for (int i = 0; i < fields; ++i) {
        auto* h = new QTableWidgetItem(rs->field(i).name);
        h->setData(Qt::UserRole, rs->field(i).name);
        m_dg->setHorizontalHeaderItem(i, h);
    }
    int row = 0;
    m_dg->setRowCount(int(rs->RecordCount()));
    for (; !rs->isEOF(); rs->MoveNext(), ++row) {
        if (row >= m_dg->rowCount()) m_dg->setRowCount(row + 1);
        for (int i = 0; i < fields; ++i) {
            m_dg->setItem(row, i, criteria::newPickerTableItem(criteria::pickerCell(rs->value(i), rs->field(i).type)));
        }
    }
    m_dg->setRowCount(row);
    // Every row counts, up to a width that leaves room for the other columns.
    m_dg->resizeColumnsToContents();
    const int widest = m_dg->fontMetrics().averageCharWidth() * criteria::maxPickerColumnChars;
    for (int c = 0; c < m_dg->columnCount(); ++c) m_dg->setColumnWidth(c, std::min(m_dg->columnWidth(c), widest));
    rs->close();

    m_dg->setCurrentIndex(QModelIndex());
    m_dg->clearSelection();
    const QString current = ReturnValue.isNull() ? QString() : ReturnValue.toString();
    if (!current.isEmpty()) {
        const int c = columnKeyed(ReturnField);
        if (c >= 0) {
            for (int r = 0; r < m_dg->rowCount(); ++r) {
                if (m_dg->item(r, c) && criteria::pickerValue(m_dg->item(r, c)) == current) {
                    m_dg->setCurrentCell(r, c);
                    m_dg->selectRow(r);
                    m_dg->scrollToItem(m_dg->item(r, c));
                    break;
                }
            }
        }
    }

    while (m_fieldWidths.size() < m_dg->columnCount()) m_fieldWidths.append(0);
    for (int c = 0; c < m_dg->columnCount(); ++c) {
        if (m_fieldWidths[c] > 0) m_dg->setColumnWidth(c, twipsToPixels(this, m_fieldWidths[c]));
        m_dg->setColumnHidden(c, m_fieldWidths[c] < 0);
    }
    return true;
}

int frmSelectRecord::exec()
{
    IsOK = false;
    if (!Form_Activate()) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    m_dg->setFocus();
    return QDialog::exec();
}

void frmSelectRecord::cmdOk_Click()
{
    const int r = m_dg->currentRow();
    if (r >= 0 && m_dg->selectionModel()->isRowSelected(r, QModelIndex())) {
        IsOK = true;
        auto cellOf = [&](const QString& key) -> QVariant {
            const int c = columnKeyed(key);
            const QTableWidgetItem* it = c >= 0 ? m_dg->item(r, c) : nullptr;
            if (c < 0)
                throw Error(db::kItemNotFound, QStringLiteral("frmSelectRecord"),
                    QStringLiteral("Item cannot be found in the collection corresponding "
                                   "to the requested name or ordinal."));
            return criteria::pickerValue(it);
        };
        try {
            ReturnValue = cellOf(ReturnField);
            if (!OptField1.isEmpty()) OptField1Val = cellOf(OptField1);
            if (!OptField2.isEmpty()) OptField2Val = cellOf(OptField2);
        } catch (const Error& e) {
            IsOK = false;
            userInterfaceOr(m_ui).messageBox(e.description(), vbOKOnly);
            return;
        }
    } else {
        IsOK = false;
    }
    accept();
}

void frmSelectRecord::cmdCancel_Click()
{
    IsOK = false;
    reject();
}

bool frmSelectRecord::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_dg && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        const bool plain = (k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (enter) {
            if (plain) cmdOk_Click();
            return true;   // Enter with a modifier does nothing
        }
        if (k->key() == Qt::Key_Escape) {
            if (plain) cmdCancel_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}   // namespace orra
