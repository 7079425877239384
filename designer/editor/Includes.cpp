// Includes and their bindings in the editor window: a catalogue document included under a
// Block or the Document (rights, self-inclusion, servers, an expanded copy embedded), the
// check for including documents that bind a parameter, and the Inheritance grid with its edit
// box, which binds the included document's dynamic parameters to a parameter of this document
// or to a constant.

#include "designer/editor/frmOrraDevelopment.h"

#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "designer/editor/DocumentModel.h"
#include "designer/editor/TreeEditing.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QComboBox>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QString kServer = QStringLiteral("Server");
const QString kFree = QStringLiteral("{FREE}");
const QString kPID = QStringLiteral("PID");

[[noreturn]] void noCurrentRecord()
{
    throw orra::Error(orra::db::kNoCurrentRecord, QStringLiteral("ADODB.Field"),
        QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record."));
}

// The Inheritance of include whose PID is pid (an Include holds at most one per PID).
xml::Node bindingOf(xml::Node include, const QString& pid)
{
    for (xml::Node c = include.first_child(); c; c = c.next_sibling())
        if (xml::hasTag(c, orra::tags::Inheritance) && xml::attribute(c, kPID) == pid) return c;
    return {};
}

xml::Node embeddedDocument(xml::Node include)
{
    for (xml::Node c = include.first_child(); c; c = c.next_sibling())
        if (xml::hasTag(c, orra::tags::Document)) return c;
    return {};
}

QString cellText(QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

void setCellText(QTableWidget* grid, int row, int column, const QString& text)
{
    QTableWidgetItem* item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        grid->setItem(row, column, item);
    }
    item->setText(text);
}

bool isElementTree(QObject* source)
{
    auto* tree = qobject_cast<QTreeWidget*>(source);
    return tree && tree->objectName() == QLatin1String("tvDocument");
}
void setSelectionColour(QTableWidget* grid, const QColor& colour)
{
    QPalette p = grid->palette();
    p.setColor(QPalette::Highlight, colour);
    // The selected cell's text stays readable on either colour (the bound cell stays selected
    // after a drop, with the selection as light as the grid).
    p.setColor(QPalette::HighlightedText, p.color(QPalette::Text));
    grid->setPalette(p);
}
}   // namespace

void frmOrraDevelopment::AddInclude(QTreeWidgetItem* target, long includedDocID)
{
    FinishOpenEdits();
    if (!m_tree || !m_document || !target || StructureLocked()) return;
    try {
        orra::db::Connection* con = catalogue();
        const QString db = catalogueDatabase();
        auto loaded = std::make_unique<xml::Document>();
        if (!orra::HasDocPermission(con, includedDocID, 0, orra::rightInclude))
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                QStringLiteral("Permission Denied : You could not include this document"));
        if (includedDocID == m_docID)
            throw orra::Error(
                orra::kSystemError, QStringLiteral("frmOrraDevelopment"), orra::RecursiveIncludeMessage());
        orra::db::RecordsetPtr rs = con->execute(
            QStringLiteral("select Name,SQLTxt from %1..tbOrraSQL where Id=%2").arg(db).arg(includedDocID));
        if (!rs || !rs->isOpen() || rs->isEOF()) noCurrentRecord();
        const QString name = rs->value(QStringLiteral("Name")).toString().trimmed();
        const QVariant text = rs->value(QStringLiteral("SQLTxt"));
        rs.reset();
        if (text.isNull() || !loaded->loadXML(text.toString()) || !loaded->documentElement())
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                QStringLiteral("The document %1 could not be read: its text is not a document").arg(includedDocID));
        const QString server = xml::attribute(loaded->documentElement(), kServer);
        if (server != kFree && server != xml::attribute(m_document->documentElement(), kServer)) {
            orra::userInterface().messageBox(QStringLiteral("Could not include a document based on connection ")
                    + server + QStringLiteral(" to current document"),
                orra::vbOKOnly | orra::vbCritical);
            return;
        }
        int nameNumber = 0, idNumber = 0;
        GetNextChildNumber(target, nameNumber, idNumber, QStringLiteral("Include"));
        const QString id = DocumentTree::key(target) + QStringLiteral(".I") + QString::number(idNumber);
        orra::PrefixElementIDs(loaded->documentElement(), id, QStringLiteral("|"));

        // The Include is built and expanded on its own first: a document that includes this
        // one (at any depth) is refused before anything of this document changes.
        xml::Document built;
        xml::Node include = xml::appendElement(built.node(), QStringLiteral("Include"));
        xml::setAttribute(include, QStringLiteral("ID"), id);
        xml::setAttribute(include, QStringLiteral("Name"), QStringLiteral("Include:") + name);
        xml::setAttribute(include, QStringLiteral("DocID"), QString::number(includedDocID));
        xml::appendCopy(include, loaded->documentElement());
        orra::ExpandIncludes(con, include, m_docID, db);

        const QString targetKey = DocumentTree::key(target);
        const xml::Node receiver = targetKey == xml::attribute(m_document->documentElement(), QStringLiteral("ID"))
            ? m_document->documentElement()
            : elementByID(targetKey);
        if (!receiver) return;
        m_tree->addNode({targetKey, id, QStringLiteral("Include:") + name, QStringLiteral("Include"),
            QStringLiteral("SInclude"), QStringLiteral("Include")});
        const xml::Node appended = xml::appendCopy(receiver, include);
        AddChildNodes(id, appended, true, [this](TreeNodeSpec&& n) { m_tree->addNode(std::move(n)); });
        m_documentChanged = true;
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
}

bool frmOrraDevelopment::CheckParameterDependencies(const QString& parameterID)
{
    bool result = true;
    orra::db::Connection* con = catalogue();
    const QString db = catalogueDatabase();
    QList<long> including;
    {
        orra::db::RecordsetPtr rs = con->execute(
            QStringLiteral("select ObjId ID from %1..tbOrraRelations where RelObjId=%2").arg(db).arg(m_docID));
        for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) including << long(rs->value(0).toLongLong());
    }
    for (const long id : including) {
        orra::db::RecordsetPtr rs =
            con->execute(QStringLiteral("select Name,SQLTxt from %1..tbOrraSQL where ID=%2").arg(db).arg(id));
        if (!rs || !rs->isOpen() || rs->isEOF()) noCurrentRecord();
        const QString name = rs->value(QStringLiteral("Name")).toString().trimmed();
        xml::Document doc;
        if (!doc.loadXML(rs->value(QStringLiteral("SQLTxt")).toString()))
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"), doc.parseError().reason);
        rs.reset();
        std::vector<xml::Node> includes;
        std::function<void(xml::Node)> walk = [&](xml::Node e) {
            for (xml::Node c = e.first_child(); c; c = c.next_sibling()) {
                if (!xml::isElement(c)) continue;
                long docID = 0;
                if (xml::hasTag(c, orra::tags::Include)
                    && orra::ParseWholeNumber(xml::attribute(c, QStringLiteral("DocID")), docID) && docID == m_docID)
                    includes.push_back(c);
                walk(c);
            }
        };
        walk(doc.node());
        for (const xml::Node inc : includes) {
            for (xml::Node b = inc.first_child(); b; b = b.next_sibling()) {
                if (!xml::hasTag(b, orra::tags::Inheritance)) continue;
                if (orra::LastPipeSegment(xml::attribute(b, kPID)) != parameterID) continue;
                result = false;
                const int answer = orra::userInterface().messageBox(QStringLiteral("Document '") + name
                        + QStringLiteral("' depend on this document")
                        + QStringLiteral(
                            "\r\nhave inheritance for this parameter\r\n\r\nContinue checking dependencies?"),
                    orra::vbOKCancel, QStringLiteral("Error"));
                if (answer == orra::vbCancel) return false;
            }
        }
    }
    return result;
}

void frmOrraDevelopment::wireIncludeChecks(int pane)
{
    if (pane == PaneDocument) {
        connect(m_cbdocServer, &QComboBox::activated, this, [this](int) { cbdocServer_Click(); });
        // A typed server is the author's choice as much as a picked one: leaving the box by
        // Tab, Enter or a click elsewhere writes it, through the same checks.
        connect(m_cbdocServer->lineEdit(), &QLineEdit::editingFinished, this, [this] { cbdocServer_Click(); });
    } else if (pane == PaneParameter) {
        connect(m_cbparamBehaviour, &QComboBox::activated, this, [this](int) { cbparamBehaviour_Click(); });
    }
}

// The document's server may change only when no included or including document is tied to
// another server.
void frmOrraDevelopment::cbdocServer_Click()
{
    if (!m_document || !m_cbdocServer) return;
    const xml::Node root = m_document->documentElement();
    // A root of the older form (no Server) is bound to no server, as its pane shows it.
    const QString oldServer = xml::hasAttribute(root, kServer) ? xml::attribute(root, kServer) : kFree;
    const QString newServer = m_cbdocServer->currentText();
    if (oldServer == newServer) return;
    try {
        orra::db::Connection* con = catalogue();
        const QString db = catalogueDatabase();
        const QString refused = QStringLiteral("Could not change document Server \r\n");
        QList<long> including;
        {
            orra::db::RecordsetPtr rs = con->execute(
                QStringLiteral("select ObjId ID from %1..tbOrraRelations where RelObjId=%2").arg(db).arg(m_docID));
            for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) including << long(rs->value(0).toLongLong());
        }
        for (xml::Node c = root.first_child(); c; c = c.next_sibling()) {
            if (!xml::hasTag(c, orra::tags::Include)) continue;
            const xml::Node embedded = embeddedDocument(c);
            if (xml::attribute(embedded, kServer) != kFree)
                throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                    refused + QStringLiteral("Because document ") + xml::attribute(c, QStringLiteral("Name"))
                        + QStringLiteral(" that current document depands based on a different Server"));
        }
        if (oldServer != kFree && newServer != kFree) {
            if (!including.isEmpty())
                throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                    refused
                        + QStringLiteral("Because there are documents that depand on current document "
                                         "based on a different Server"));
        } else {
            // To or from "{FREE}": every including document must be on the one fixed server.
            const QString required = oldServer != kFree ? oldServer : newServer;
            for (const long id : including) {
                orra::db::RecordsetPtr rs =
                    con->execute(QStringLiteral("select Name,SQLTxt from %1..tbOrraSQL where ID=%2").arg(db).arg(id));
                if (!rs || !rs->isOpen() || rs->isEOF()) noCurrentRecord();
                xml::Document doc;
                if (!doc.loadXML(rs->value(QStringLiteral("SQLTxt")).toString()))
                    throw orra::Error(
                        orra::kSystemError, QStringLiteral("frmOrraDevelopment"), doc.parseError().reason);
                if (xml::attribute(doc.documentElement(), kServer) != required)
                    throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment"),
                        refused + QStringLiteral("Because document ")
                            + rs->value(QStringLiteral("Name")).toString().trimmed()
                            + QStringLiteral(" that depand on current document based on a different Server"));
            }
        }
        xml::setAttribute(root, kServer, newServer);
        m_documentChanged = true;
    } catch (const orra::Error& e) {
        const QSignalBlocker block(m_cbdocServer);
        const int at = m_cbdocServer->findText(oldServer, Qt::MatchExactly | Qt::MatchCaseSensitive);
        m_cbdocServer->setCurrentIndex(at);
        if (at < 0) m_cbdocServer->setEditText(oldServer);
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
}

// A parameter becomes static only when no including document binds it.
void frmOrraDevelopment::cbparamBehaviour_Click()
{
    xml::Node p = CurrentParameter();
    if (!p || !m_cbparamBehaviour) return;
    const QString id = m_currentParameterID;
    const QString oldValue = xml::hasAttribute(p, QStringLiteral("Behaviour"))
        ? xml::attribute(p, QStringLiteral("Behaviour"))
        : QStringLiteral("dynamic");
    const QString newValue = m_cbparamBehaviour->currentText();
    if (oldValue == newValue) return;
    try {
        if (newValue == QLatin1String("static") && !CheckParameterDependencies(id)) {
            const QSignalBlocker block(m_cbparamBehaviour);
            m_cbparamBehaviour->setCurrentIndex(
                m_cbparamBehaviour->findText(oldValue, Qt::MatchExactly | Qt::MatchCaseSensitive));
            return;
        }
        // Looked up again once the check has asked the author.
        if (!(p = elementByID(id))) return;
        xml::setAttribute(p, QStringLiteral("Behaviour"), newValue);
        if (auto* n = const_cast<DocumentNode*>(
                DocumentTree::asNode(m_tree->node(xml::attribute(p, QStringLiteral("ID")))))) {
            n->image =
                newValue == QLatin1String("static") ? QStringLiteral("Parameter_static") : QStringLiteral("Parameter");
            QIcon icon = elementTreeImage(n->image);
            icon.addPixmap(elementTreeImage(QStringLiteral("SParameter")).pixmap(16, 16), QIcon::Selected);
            n->setIcon(0, icon);
        }
        m_documentChanged = true;
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
}

// ---------------------------------------------------------------------------------------------
// The Inheritance grid: column 0 (hidden) the included parameter's ID, 1 its Name, 2 the
// related parameter or "$" and a constant, 3 "" or "Output".

void frmOrraDevelopment::buildInheritanceEditor()
{
    ensurePane(PaneInheritance);
    if (m_txtInheritanceInput) return;
    QTableWidget* grid = m_grdInheritance;
    grid->setColumnCount(4);
    grid->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Parameter"), QStringLiteral("Related Parameter"), QStringLiteral("Type")});
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setAcceptDrops(true);
    grid->viewport()->setAcceptDrops(true);
    m_txtInheritanceInput = new QLineEdit(grid);
    m_txtInheritanceInput->setObjectName(QStringLiteral("txtInheritanceInput"));
    m_txtInheritanceInput->setAccessibleName(QStringLiteral("Related value"));
    m_txtInheritanceInput->hide();
    auto* hook = new EventHook(this, [this](QObject* watched, QEvent* event) {
        if (watched == m_txtInheritanceInput) return inheritanceInputEvent(event);
        if (watched == m_grdInheritance->viewport()) {
            switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* de = static_cast<QDragMoveEvent*>(event);
                if (event->type() == QEvent::DragEnter) grdInheritance_DragEnter();
                grdInheritance_DragOver(de->source(), de->position().toPoint());
                if (isElementTree(de->source()))
                    de->acceptProposedAction();
                else
                    de->ignore();
                return true;
            }
            case QEvent::DragLeave:
                grdInheritance_DragLeave();
                return true;
            case QEvent::Drop: {
                auto* de = static_cast<QDropEvent*>(event);
                grdInheritance_DragDrop(de->source());
                de->acceptProposedAction();
                return true;
            }
            default:
                return false;
            }
        }
        return inheritanceGridEvent(event);
    });
    grid->installEventFilter(hook);
    grid->viewport()->installEventFilter(hook);
    m_txtInheritanceInput->installEventFilter(hook);
    // Leaving a cell closes an open edit box.
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int, int, int, int) {
        if (m_inheritanceEditOpen) m_txtInheritanceInput->hide();
        m_inheritanceEditOpen = false;
    });
}

void frmOrraDevelopment::LoadInheritanceGrid()
{
    buildInheritanceEditor();
    QTableWidget* grid = m_grdInheritance;
    const QSignalBlocker block(grid);
    grid->setRowCount(0);
    const int widths[] = {0, twips(3000), twips(3000), twips(750)};
    for (int c = 0; c < 4; ++c) grid->setColumnWidth(c, widths[c]);
    grid->setColumnHidden(0, true);
    const xml::Node include = CurrentElement();
    const xml::Node embedded = embeddedDocument(include);
    for (xml::Node p = embedded.first_child(); p; p = p.next_sibling()) {
        if (!xml::hasTag(p, orra::tags::Parameter)) continue;
        const QString behaviour = xml::hasAttribute(p, QStringLiteral("Behaviour"))
            ? xml::attribute(p, QStringLiteral("Behaviour"))
            : QStringLiteral("dynamic");
        if (behaviour != QLatin1String("dynamic")) continue;
        const int row = grid->rowCount();
        grid->insertRow(row);
        setCellText(grid, row, 0, xml::attribute(p, QStringLiteral("ID")));
        setCellText(grid, row, 1, xml::attribute(p, QStringLiteral("Name")));
        setCellText(grid, row, 2, QString());
        setCellText(grid, row, 3, QString());
    }
    for (xml::Node b = include.first_child(); b; b = b.next_sibling()) {
        if (!xml::hasTag(b, orra::tags::Inheritance)) continue;
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (cellText(grid, row, 0) != xml::attribute(b, kPID)) continue;
            setCellText(grid, row, 2, xml::attribute(b, QStringLiteral("RID")));
            setCellText(grid, row, 3, xml::attribute(b, QStringLiteral("Type")));
            break;
        }
    }
    m_txtInheritanceInput->hide();
    m_inheritanceEditOpen = false;
}

void frmOrraDevelopment::AddInheritance(const QString& RID, const QString& PID)
{
    xml::Node include = CurrentElement();
    if (!xml::hasTag(include, orra::tags::Include) || StructureLocked()) return;
    xml::Node binding = bindingOf(include, PID);
    const xml::Node embedded = embeddedDocument(include);
    // The embedded copy stays the Include's last child; the binding goes last among the rest.
    if (binding) {
        if (embedded)
            include.insert_move_before(binding, embedded);
        else
            include.append_move(binding);
    } else {
        binding = embedded ? xml::insertElementBefore(include, QStringLiteral("Inheritance"), embedded)
                           : xml::appendElement(include, QStringLiteral("Inheritance"));
    }
    xml::setAttribute(binding, kPID, PID);
    xml::setAttribute(binding, QStringLiteral("RID"), RID);
    m_documentChanged = true;
}

void frmOrraDevelopment::RemoveInheritance()
{
    QTableWidget* grid = grdInheritance();
    const int row = grid->currentRow();
    if (row < 0 || StructureLocked()) return;
    const xml::Node include = CurrentElement();
    const xml::Node binding = bindingOf(include, cellText(grid, row, 0));
    if (!binding) return;
    xml::removeChild(include, binding);
    setCellText(grid, row, 2, QString());
    setCellText(grid, row, 3, QString());
    m_documentChanged = true;
}

void frmOrraDevelopment::ChangeInheritanceType()
{
    QTableWidget* grid = grdInheritance();
    const int row = grid->currentRow();
    if (row < 0 || StructureLocked()) return;
    const xml::Node binding = bindingOf(CurrentElement(), cellText(grid, row, 0));
    if (!binding) return;
    if (cellText(grid, row, 3).isEmpty())
        xml::removeAttribute(binding, QStringLiteral("Type"));
    else if (cellText(grid, row, 3) == QLatin1String("Output"))
        xml::setAttribute(binding, QStringLiteral("Type"), QStringLiteral("Output"));
    m_documentChanged = true;
}

void frmOrraDevelopment::ShowInheritanceEditor(bool focus)
{
    QTableWidget* grid = m_grdInheritance;
    const int row = grid->currentRow();
    if (row < 0) return;
    QRect cell = grid->visualRect(grid->model()->index(row, 2));
    cell.translate(grid->viewport()->mapTo(grid, QPoint(0, 0)));
    m_txtInheritanceInput->setGeometry(cell);
    if (const QTableWidgetItem* item = grid->item(row, 2)) {
        m_txtInheritanceInput->setFont(item->font());
        m_txtInheritanceInput->setAlignment(Qt::Alignment(item->textAlignment()) ? Qt::Alignment(item->textAlignment())
                                                                                 : Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_txtInheritanceInput->show();
    m_txtInheritanceInput->raise();
    if (focus) {
        m_txtInheritanceInput->selectAll();
        m_txtInheritanceInput->setFocus();
    }
}

bool frmOrraDevelopment::inheritanceGridEvent(QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    QTableWidget* grid = m_grdInheritance;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const int row = grid->currentRow();
    const int column = grid->currentColumn();
    if (row < 0 || !(enter || key == Qt::Key_Delete)) return false;
    if (column == 2) {
        if (key == Qt::Key_Delete) {
            RemoveInheritance();
        } else if (!m_inheritanceEditOpen) {
            m_txtInheritanceInput->clear();
            m_inheritanceEditOpen = true;
            m_inheritanceIncludeID = m_currentElementID;
            const QString text = cellText(grid, row, 2);
            if (text.startsWith(QLatin1Char('$'))) m_txtInheritanceInput->setText(text.mid(1));
            ShowInheritanceEditor(true);
        } else {
            m_txtInheritanceInput->show();
            m_txtInheritanceInput->setFocus();
        }
        return true;
    }
    if (column == 3) {
        if (key == Qt::Key_Delete) {
            setCellText(grid, row, 3, QString());
        } else {
            const QString now = cellText(grid, row, 3);
            if (now == QLatin1String("Output"))
                setCellText(grid, row, 3, QString());
            else if (now.isEmpty())
                setCellText(grid, row, 3, QStringLiteral("Output"));
        }
        ChangeInheritanceType();
        return true;
    }
    return false;
}

bool frmOrraDevelopment::inheritanceInputEvent(QEvent* event)
{
    QTableWidget* grid = m_grdInheritance;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            grid->setFocus();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            grid->setFocus();
            const int row = grid->currentRow() + (key == Qt::Key_Down ? 1 : -1);
            if (row >= 0 && row < grid->rowCount()) grid->setCurrentCell(row, grid->currentColumn());
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut) CommitInheritanceInput();
    return false;
}

// The value box's text becomes the current row's constant binding, once.
void frmOrraDevelopment::CommitInheritanceInput()
{
    if (!m_txtInheritanceInput || m_txtInheritanceInput->isHidden()) return;
    QTableWidget* grid = m_grdInheritance;
    const QString text = m_txtInheritanceInput->text();
    const int row = grid->currentRow();
    m_txtInheritanceInput->hide();
    // Only into the Include the box was opened for (it may have gone, or another be shown).
    if (!text.isEmpty() && row >= 0 && !m_inheritanceIncludeID.isEmpty()
        && m_inheritanceIncludeID == m_currentElementID) {
        setCellText(grid, row, 2, QStringLiteral("$") + text);
        AddInheritance(QStringLiteral("$") + text, cellText(grid, row, 0));
    }
}

void frmOrraDevelopment::grdInheritance_DragEnter()
{
    QTableWidget* grid = grdInheritance();
    m_gridDragRow = grid->currentRow();
    if (m_gridDragRow >= 0) grid->setCurrentCell(m_gridDragRow, 2);
}

// The Related Parameter cell under the mouse shows yellow.
void frmOrraDevelopment::grdInheritance_DragOver(QObject* source, QPoint pos)
{
    QTableWidget* grid = grdInheritance();
    if (!isElementTree(source)) return;
    const int row = grid->rowAt(pos.y());
    if (row < 0 || row == m_gridDragRow) return;
    setSelectionColour(grid, grid->palette().color(QPalette::Base));
    grid->setCurrentCell(row, 2);
    setSelectionColour(grid, QColor(0xff, 0xff, 0x00));
    m_gridDragRow = row;
}

void frmOrraDevelopment::grdInheritance_DragLeave()
{
    QTableWidget* grid = grdInheritance();
    setSelectionColour(grid, grid->palette().color(QPalette::Base));
}

// A dragged Parameter binds the current row to it; any other element binds nothing.
void frmOrraDevelopment::grdInheritance_DragDrop(QObject* source)
{
    QTableWidget* grid = grdInheritance();
    if (isElementTree(source)) {
        const QString key = m_pressedNode;
        const int row = grid->currentRow();
        if (row >= 0 && xml::hasTag(elementByID(key), orra::tags::Parameter)) {
            AddInheritance(key, cellText(grid, row, 0));
            setCellText(grid, row, 2, key);
        }
    }
    setSelectionColour(grid, grid->palette().color(QPalette::Base));
}

}   // namespace morvane
