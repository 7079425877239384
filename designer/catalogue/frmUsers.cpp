#include "designer/catalogue/frmUsers.h"

#include "designer/catalogue/AdminSupport.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace morvane {

frmUsers::frmUsers(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUsers"));
    setWindowTitle(QStringLiteral("Users"));
    m_grid = new QTableWidget(0, 3, this);
    m_grid->setObjectName(QStringLiteral("fgUsers"));
    m_grid->setAccessibleName(QStringLiteral("Users"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("uid"), QStringLiteral("name"), QStringLiteral("Type")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &frmUsers::cmdOK_Click);
    connect(m_cancel, &QPushButton::clicked, this, &frmUsers::cmdCancel_Click);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this] { cmdOK_Click(); });
    resize(360, 320);
    Fill();
}

void frmUsers::Fill()
{
    orra::db::RecordsetPtr rs;
    try {
        rs = admin::rows(QStringLiteral("select uid,name,case when islogin=1 then 'Login' else 'Role' end Type "
                                        "from sysusers (nolock) "));
    } catch (const orra::Error&) {
        return;   // the grid stays as designed
    }
    m_grid->setRowCount(0);
    for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const int row = m_grid->rowCount();
        m_grid->insertRow(row);
        for (int c = 0; c < 3; ++c) m_grid->setItem(row, c, new QTableWidgetItem(rs->value(c).toString().trimmed()));
    }
    m_grid->setCurrentCell(-1, -1);
}

void frmUsers::cmdOK_Click()
{
    const int row = m_grid->currentRow();
    if (row < 0 || row >= m_grid->rowCount() || !m_grid->item(row, 0)) return;
    IsOk = true;
    UserId = m_grid->item(row, 0)->text().toLong();
    UserName = m_grid->item(row, 1)->text();
    IsLogin = m_grid->item(row, 2)->text() == QLatin1String("Login");
    done(QDialog::Accepted);
}

void frmUsers::cmdCancel_Click()
{
    IsOk = false;
    done(QDialog::Rejected);
}

void frmUsers::reject()
{
    IsOk = false;
    QDialog::reject();
}

void frmUsers::closeEvent(QCloseEvent* event)
{
    IsOk = false;
    QDialog::closeEvent(event);
}

}   // namespace morvane
