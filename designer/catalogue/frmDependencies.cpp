#include "designer/catalogue/frmDependencies.h"

#include "designer/catalogue/AdminSupport.h"
#include "designer/shell/mdMain.h"

#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QPointer>
#include <QTreeWidget>

namespace morvane {

namespace {
QTreeWidget* makeList(const char* name, const QString& label)
{
    auto* list = new QTreeWidget;
    list->setObjectName(QString::fromLatin1(name));
    list->setAccessibleName(label);
    list->setHeaderLabels({QStringLiteral("Name")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}
}   // namespace

frmDependencies::frmDependencies(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmDependencies"));
    setWindowTitle(QStringLiteral("Dependencies"));
    m_includers = makeList("lwDepandCurDoc", QStringLiteral("Documents that depand on Current Document"));
    m_included = makeList("lwCurDocDepand", QStringLiteral("Documents that Current Document depands on"));
    auto* layout = new QGridLayout(this);
    auto* left = new QLabel(m_includers->accessibleName());
    left->setBuddy(m_includers);
    auto* right = new QLabel(m_included->accessibleName());
    right->setBuddy(m_included);
    layout->addWidget(left, 0, 0);
    layout->addWidget(right, 0, 1);
    layout->addWidget(m_includers, 1, 0);
    layout->addWidget(m_included, 1, 1);
    resize(620, 320);
    // Escape closes it, as it closes the designer's other tool windows.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    for (QTreeWidget* list : {m_includers, m_included})
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this, list] { OpenSelected(list); });
}

frmDependencies* frmDependencies::instance(QWidget* parent)
{
    static QPointer<frmDependencies> window;
    if (!window) window = new frmDependencies(parent);
    return window;
}

void frmDependencies::ShowFor(long id, const QString& name)
{
    DocID = id;
    setWindowTitle(QStringLiteral("Dependencies for ") + name);
    FillDependencyLists();
    // It first appears over the middle of the window it was asked from, not in a corner.
    if (!isVisible())
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
            move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

bool frmDependencies::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && DocID != 0) FillDependencyLists();
    return QWidget::event(e);
}

void frmDependencies::FillDependencyLists()
{
    m_includers->clear();
    m_included->clear();
    auto fill = [this](QTreeWidget* list, const QString& join, const QString& where) {
        orra::db::RecordsetPtr rs =
            admin::rows(QStringLiteral(" select distinct s.ID, s.Name from tbOrraRelations r (nolock) "
                                       " inner join tbOrraSQL s (nolock) on %1=s.ID "
                                       " Where %2 = ? order by s.Name")
                            .arg(join, where),
                {qlonglong(DocID)});
        for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
            auto* item = new QTreeWidgetItem(list, {rs->value(1).toString().trimmed()});
            item->setData(0, Qt::UserRole, QStringLiteral("K") + QString::number(rs->value(0).toLongLong()));
        }
    };
    try {
        fill(m_includers, QStringLiteral("r.ObjId"), QStringLiteral("r.RelObjId"));
        fill(m_included, QStringLiteral("r.RelObjId"), QStringLiteral("r.ObjId"));
    } catch (const orra::Error& e) {
        admin::showError(e);
    }
}

void frmDependencies::OpenSelected(QTreeWidget* list)
{
    QTreeWidgetItem* item = list->currentItem();
    if (!item || !item->isSelected()) return;
    OpenDocumentWindow(item->data(0, Qt::UserRole).toString().mid(1).toLong(), item->text(0));
}

}   // namespace morvane
