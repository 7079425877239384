#include "designer/editor/frmOrraDevelopment.h"

#include "common/Connections.h"
#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "designer/editor/DocumentModel.h"
#include "designer/editor/EditorTextHandlers.h"
#include "designer/editor/MainWindowLink.h"
#include "designer/editor/TreeEditing.h"
#include "designer/editor/frmtvDocument.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/AccessibleComboBoxes.h"
#include "runtime/DocOrra.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morvane {

namespace xml = orra::xml;

namespace {

const char* const kFrameNames[frmOrraDevelopment::PaneCount] = {
    "Parameter", "Block", "Document", "Inheritance", "Station", "Script", "ParameterGroup"};

QLabel* label(const QString& text, const char* name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QPlainTextEdit* textEditor(const char* name, const QString& accessibleName, QWidget* parent)
{
    auto* e = new orra::RichTextBox(parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(accessibleName);
    return e;
}

// Named for a screen reader by its label (nameFieldsByTheirLabels).
QComboBox* comboBox(const char* name, bool editable, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    return c;
}

// Each labelled field of the panes with its label. A screen reader announces a field by its
// label: the label's buddy relation names it, and its accessible name is the label's text for
// the readers that ask the name (a drop-down list too, with its value as its value).
const std::pair<const char*, const char*> kFieldLabels[] = {{"lbCaption", "txtparamCaption"},
    {"lbDefaultVal", "txtparamDefaultVal"}, {"lbType", "cbparamType"}, {"lbSource", "txtparamSource"},
    {"lbReturnCol", "txtparamReturnCol"}, {"lbPrompt", "txtparamPrompt"}, {"lbSelectionType", "cbparamSelectionType"},
    {"lbBehaviour", "cbparamBehaviour"}, {"lbdocDescription", "txtdocDescription"}, {"lbdocServer", "cbdocServer"},
    {"lbScriptLang", "cbScriptLang"}};

void nameFieldsByTheirLabels(QWidget* pane)
{
    for (const auto& [labelName, fieldName] : kFieldLabels) {
        auto* l = pane->findChild<QLabel*>(QLatin1String(labelName));
        auto* field = pane->findChild<QWidget*>(QLatin1String(fieldName));
        if (!l || !field) continue;
        l->setBuddy(field);
        field->setAccessibleName(l->text());
        // An editable drop-down's text box is what has the focus.
        if (auto* c = qobject_cast<QComboBox*>(field)) {
            if (c->lineEdit())
                c->lineEdit()->setAccessibleName(l->text());
            else
                orra::nameComboBoxByItsLabel(c);
        }
    }
}

// A locked text box keeps its caret and its keyboard selection.
void setLocked(QPlainTextEdit* e, bool locked)
{
    if (auto* box = qobject_cast<orra::RichTextBox*>(e))
        box->setLocked(locked);
    else
        e->setReadOnly(locked);
}
void setLocked(QLineEdit* e, bool locked) { e->setReadOnly(locked); }
// A combo box has no read-only state of its own: a locked one takes no input.
void setLocked(QComboBox* c, bool locked) { c->setEnabled(!locked); }

}   // namespace

frmOrraDevelopment::frmOrraDevelopment(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmOrraDevelopment"));
    setWindowTitle(QStringLiteral("Form1"));
    m_text = new EditorTextHandlers(this);
    // F5, Ctrl+F5, Esc and the query templates reach the window's ad-hoc SQL.
    m_text->setAdHocSql({[this](const QString& sql) { ExecuteEditorSQL(sql); },
        [this](const QString& sql) { return GetRunableSQL(sql); }, [this] { return CancelEditorSQL(); }});
    // It runs on the connection of the paused debug run, with that run's parameter values; a run
    // under way has the connection to itself, and outside debug mode there is none.
    m_adHoc->setRunSource({[this]() -> orra::db::ConnectionPtr {
                               orra::DocOrra* run = DocOrra();
                               return run && !run->IsRunning() ? run->Orra_Con() : nullptr;
                           },
        [this](const QString& sql, bool& isError) {
            orra::DocOrra* run = DocOrra();
            return run ? run->GetRunableSQL(sql, isError) : sql;
        }});
    buildLayout();
}

frmOrraDevelopment::~frmOrraDevelopment()
{
    // The focus leaves the panes while the document is still there: a focus-out delivered once
    // the members have gone would store a caret position through the window's document. A
    // server typed and not yet left goes with the window, unchecked and unwritten.
    if (m_cbdocServer && m_cbdocServer->lineEdit()) m_cbdocServer->lineEdit()->blockSignals(true);
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused)) focused->clearFocus();
    // The window's event hooks reach its members: they go before the members do.
    qDeleteAll(findChildren<EventHook*>(Qt::FindDirectChildrenOnly));
    // A window destroyed without being closed still gives its tree back.
    if (m_tree) frmtvDocument::instance()->UnloadtvDocument(m_tree);
}

void frmOrraDevelopment::registerWindow(orra::RunHost host)
{
    setDocumentWindowCreator([host = std::move(host)](QWidget* parent) -> QWidget* {
        auto* window = new frmOrraDevelopment(parent);
        window->setRunHost(host);
        return window;
    });
}

// The designed size of the window (11,400 x 8,100 twips).
QSize frmOrraDevelopment::sizeHint() const { return {twips(11400), twips(8100)}; }

int frmOrraDevelopment::twips(int value) const { return value * logicalDpiY() / 1440; }

// ---------------------------------------------------------------------------------------------
// Layout: the property panes (one visible at a time) over the result pane, split by
// imgSplitterYatay.

void frmOrraDevelopment::buildLayout()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(qMax(3, twips(45)));
    // The bar moves alone while it is dragged; the panes follow when it is let go.
    m_splitter->setOpaqueResize(false);
    outer->addWidget(m_splitter);

    m_framesHost = new QWidget(m_splitter);
    m_framesHost->setObjectName(QStringLiteral("frames"));
    m_framesHost->setMinimumHeight(twips(500));
    auto* stack = new QGridLayout(m_framesHost);
    stack->setContentsMargins(0, 0, 0, 0);

    // The panes' controls are made when a pane is first needed (most windows never show most
    // panes), the frames themselves now.
    for (int i = 0; i < PaneCount; ++i) {
        auto* f = new QFrame(m_framesHost);
        f->setObjectName(QStringLiteral("frames%1").arg(i));
        f->setAccessibleName(QLatin1String(kFrameNames[i]));
        f->setFrameShape(QFrame::NoFrame);
        stack->addWidget(f, 0, 0);
        f->setVisible(false);
        m_frames[i] = f;
    }

    // The result pane: its tabs are made when it is first needed.
    m_dbgTab = new QTabWidget(m_splitter);
    m_dbgTab->setObjectName(QStringLiteral("dbgTab"));
    m_dbgTab->setAccessibleName(QStringLiteral("Result pane"));
    m_dbgTab->setMinimumHeight(twips(500));
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->handle(1)->setObjectName(QStringLiteral("imgSplitterYatay"));
    m_splitter->handle(1)->setAccessibleName(QStringLiteral("Result pane splitter"));
    connect(m_splitter, &QSplitter::splitterMoved, this,
        [this](int pos, int) { m_resultPaneTop = m_splitter->mapTo(this, QPoint(0, pos)).y(); });
    m_dbgTab->setVisible(m_resultPaneVisible);
}

void frmOrraDevelopment::ensurePane(int index)
{
    if (index < 0 || index >= PaneCount || m_paneBuilt[index]) return;
    m_paneBuilt[index] = true;
    QFrame* f = m_frames[index];
    switch (index) {
    case PaneParameter:
        buildParameterPane(f);
        break;
    case PaneBlock:
        buildTextPane(f, m_txtBlockSQL, "txtBlockSQL");
        break;
    case PaneDocument:
        buildDocumentPane(f);
        break;
    case PaneInheritance: {
        auto* l = new QVBoxLayout(f);
        l->setContentsMargins(twips(60), twips(100), twips(60), twips(100));
        m_grdInheritance = new QTableWidget(f);
        m_grdInheritance->setObjectName(QStringLiteral("grdInheritance"));
        m_grdInheritance->setAccessibleName(QStringLiteral("Inheritance"));
        l->addWidget(m_grdInheritance);
        break;
    }
    case PaneStation:
        buildTextPane(f, m_txtStationSQL, "txtStationSQL");
        break;
    case PaneScript:
        buildScriptPane(f);
        break;
    case PaneParameterGroup: {
        auto* l = new QVBoxLayout(f);
        l->setContentsMargins(twips(60), twips(100), twips(60), twips(100));
        m_lvParameters = new QTreeWidget(f);
        m_lvParameters->setObjectName(QStringLiteral("lvParameters"));
        m_lvParameters->setAccessibleName(QStringLiteral("Parameters"));
        m_lvParameters->setRootIsDecorated(false);
        l->addWidget(m_lvParameters);
        break;
    }
    default:
        break;
    }
    nameFieldsByTheirLabels(f);
    // The text editors do not wrap their lines, and take the editor options last applied.
    for (QPlainTextEdit* e : f->findChildren<QPlainTextEdit*>()) e->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (orra::RichTextBox* e : f->findChildren<orra::RichTextBox*>()) m_text->attach(e);
    wireIncludeChecks(index);
    applyLook();
    wirePane(index);
}

QTabWidget* frmOrraDevelopment::resultPane()
{
    if (m_dbgTab->count() > 0) return m_dbgTab;
    auto* result = new QWidget(m_dbgTab);
    auto* l = new QVBoxLayout(result);
    l->setContentsMargins(0, 0, 0, 0);
    m_dbgGrid = new QTableView(result);
    m_dbgGrid->setObjectName(QStringLiteral("dbgGrid"));
    m_dbgGrid->setAccessibleName(QStringLiteral("Result"));
    m_dbgText = textEditor("dbgText", QStringLiteral("Result"), result);
    m_dbgText->setReadOnly(true);
    m_dbgText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_dbgText->hide();
    l->addWidget(m_dbgGrid);
    l->addWidget(m_dbgText);
    m_dbgMessage = textEditor("dbgMessage", QStringLiteral("Message"), m_dbgTab);
    m_dbgMessage->setReadOnly(true);
    m_dbgTrace = textEditor("dbgTrace", QStringLiteral("Trace"), m_dbgTab);
    m_dbgTrace->setReadOnly(true);
    m_dbgTrace->setLineWrapMode(QPlainTextEdit::NoWrap);
    const struct {
        QWidget* page;
        const char* key;
    } tabs[] = {{result, "Result"}, {m_dbgMessage, "Message"}, {m_dbgTrace, "Trace"}};
    for (const auto& t : tabs) {
        const int i = m_dbgTab->addTab(t.page, QLatin1String(t.key));
        m_dbgTab->tabBar()->setTabData(i, QLatin1String(t.key));
    }
    m_adHoc->attachViews();
    return m_dbgTab;
}

void frmOrraDevelopment::buildParameterPane(QFrame* f)
{
    auto* g = new QGridLayout(f);
    g->setContentsMargins(twips(60), twips(170), twips(60), twips(150));
    g->setHorizontalSpacing(twips(60));
    g->setVerticalSpacing(twips(50));

    m_txtparamCaption = new QLineEdit(f);
    m_txtparamCaption->setObjectName(QStringLiteral("txtparamCaption"));
    m_cbparamType = comboBox("cbparamType", false, f);
    m_cbparamType->setFixedWidth(twips(1035));
    m_cbparamBehaviour = comboBox("cbparamBehaviour", false, f);
    m_cbparamBehaviour->setFixedWidth(twips(1335));
    // The top row as designed: Caption, Type and Behaviour side by side at their widths.
    m_txtparamCaption->setFixedWidth(twips(1695));
    auto* top = new QHBoxLayout;
    top->setSpacing(twips(60));
    top->addWidget(m_txtparamCaption);
    top->addSpacing(twips(105));
    top->addWidget(label(QStringLiteral("Type"), "lbType", f));
    top->addWidget(m_cbparamType);
    top->addSpacing(twips(105));
    top->addWidget(label(QStringLiteral("Behaviour"), "lbBehaviour", f));
    top->addWidget(m_cbparamBehaviour);
    top->addStretch(1);
    g->addWidget(label(QStringLiteral("Caption"), "lbCaption", f), 0, 0);
    // The labels' column: the editors begin 780 twips from the pane's edge.
    g->setColumnMinimumWidth(0, twips(720));
    g->addLayout(top, 0, 1);

    // Default Value takes the height the rows anchored to the bottom leave.
    m_txtparamDefaultVal = textEditor("txtparamDefaultVal", QStringLiteral("Default Value"), f);
    m_cmdEditDefaultValue = new QPushButton(QStringLiteral("..."), f);
    m_cmdEditDefaultValue->setObjectName(QStringLiteral("cmdEditDefaultValue"));
    m_cmdEditDefaultValue->setAccessibleName(QStringLiteral("Edit Default Value"));
    m_cmdEditDefaultValue->setFixedSize(twips(315), twips(255));
    auto* dvLabel = new QVBoxLayout;
    auto* lbDefaultVal = label(QStringLiteral("Default Value"), "lbDefaultVal", f);
    lbDefaultVal->setWordWrap(true);
    dvLabel->addWidget(lbDefaultVal);
    dvLabel->addStretch(1);
    dvLabel->addWidget(m_cmdEditDefaultValue, 0, Qt::AlignRight);
    g->addLayout(dvLabel, 1, 0);
    g->addWidget(m_txtparamDefaultVal, 1, 1);
    g->setRowStretch(1, 4);

    m_txtparamSource = textEditor("txtparamSource", QStringLiteral("Source"), f);
    g->addWidget(label(QStringLiteral("Source"), "lbSource", f), 2, 0, Qt::AlignTop);
    g->addWidget(m_txtparamSource, 2, 1);
    g->setRowStretch(2, 1);   // one fifth of the pane with Default Value's four

    m_txtparamReturnCol = new QLineEdit(f);
    m_txtparamReturnCol->setObjectName(QStringLiteral("txtparamReturnCol"));
    m_txtparamReturnCol->setFixedWidth(twips(2355));
    m_cbparamSelectionType = comboBox("cbparamSelectionType", false, f);
    m_cbparamSelectionType->setFixedWidth(twips(1155));
    auto* row = new QHBoxLayout;
    row->addWidget(m_txtparamReturnCol);
    row->addStretch(1);
    row->addWidget(label(QStringLiteral("Selection Type"), "lbSelectionType", f));
    row->addWidget(m_cbparamSelectionType);
    auto* lbReturnCol = label(QStringLiteral("Return Column"), "lbReturnCol", f);
    g->addWidget(lbReturnCol, 3, 0);
    g->addLayout(row, 3, 1);

    m_txtparamPrompt = new QLineEdit(f);
    m_txtparamPrompt->setObjectName(QStringLiteral("txtparamPrompt"));
    g->addWidget(label(QStringLiteral("Prompt"), "lbPrompt", f), 4, 0);
    g->addWidget(m_txtparamPrompt, 4, 1);
}

void frmOrraDevelopment::buildTextPane(QFrame* f, QPlainTextEdit*& editor, const char* name)
{
    auto* l = new QVBoxLayout(f);
    l->setContentsMargins(twips(60), twips(100), twips(60), twips(100));
    editor = textEditor(name, f->accessibleName(), f);
    l->addWidget(editor);
}

void frmOrraDevelopment::buildDocumentPane(QFrame* f)
{
    auto* l = new QVBoxLayout(f);
    l->setContentsMargins(twips(50), twips(180), twips(50), twips(100));
    auto* top = new QHBoxLayout;
    top->addWidget(label(QStringLiteral("Description"), "lbdocDescription", f));
    top->addStretch(1);
    top->addWidget(label(QStringLiteral("Server"), "lbdocServer", f));
    top->addSpacing(twips(100));
    m_cbdocServer = comboBox("cbdocServer", true, f);
    // The list is the registry's: a typed name becomes the document's server, not an entry.
    m_cbdocServer->setInsertPolicy(QComboBox::NoInsert);
    m_cbdocServer->setMinimumWidth(twips(2715));
    top->addWidget(m_cbdocServer);
    l->addLayout(top);
    m_txtdocDescription = textEditor("txtdocDescription", QStringLiteral("Description"), f);
    l->addWidget(m_txtdocDescription, 1);
}

void frmOrraDevelopment::buildScriptPane(QFrame* f)
{
    auto* l = new QVBoxLayout(f);
    l->setContentsMargins(twips(60), twips(150), twips(60), twips(100));
    l->setSpacing(twips(100));
    auto* top = new QHBoxLayout;
    auto* lb = label(QStringLiteral("Language"), "lbScriptLang", f);
    lb->setMinimumWidth(twips(855));
    top->addWidget(lb);
    m_cbScriptLang = comboBox("cbScriptLang", false, f);
    m_cbScriptLang->setFixedWidth(twips(2715));
    top->addWidget(m_cbScriptLang);
    top->addStretch(1);
    l->addLayout(top);
    m_txtScriptSource = textEditor("txtScriptSource", QStringLiteral("Script"), f);
    l->addWidget(m_txtScriptSource, 1);
}

QFrame* frmOrraDevelopment::frame(int index) const
{
    return index >= 0 && index < PaneCount ? m_frames[index] : nullptr;
}

int frmOrraDevelopment::visibleFrame() const
{
    for (int i = 0; i < PaneCount; ++i)
        if (!m_frames[i]->isHidden()) return i;
    return -1;
}

void frmOrraDevelopment::ShowFrame(int index)
{
    ensurePane(index);
    for (QFrame* f : m_frames) f->setVisible(false);
    if (QFrame* f = frame(index)) f->setVisible(true);
}

void frmOrraDevelopment::SetEditable(int pane, bool editable)
{
    ensurePane(pane);
    const bool locked = !editable;
    switch (pane) {
    case PaneParameter:
        setLocked(m_txtparamCaption, locked);
        setLocked(m_cbparamBehaviour, locked);
        setLocked(m_cbparamSelectionType, locked);
        setLocked(m_cbparamType, locked);
        setLocked(m_txtparamPrompt, locked);
        setLocked(m_txtparamReturnCol, locked);
        setLocked(m_txtparamSource, locked);
        setLocked(m_txtparamDefaultVal, locked);
        m_cmdEditDefaultValue->setEnabled(editable);
        break;
    case PaneBlock:
        setLocked(m_txtBlockSQL, locked);
        break;
    case PaneDocument:
        setLocked(m_txtdocDescription, locked);
        setLocked(m_cbdocServer, locked);
        break;
    case PaneInheritance:
        m_grdInheritance->setEnabled(editable);
        break;
    case PaneStation:
        setLocked(m_txtStationSQL, locked);
        break;
    case PaneScript:
        setLocked(m_txtScriptSource, locked);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Services.

orra::db::Connection* frmOrraDevelopment::catalogue() const
{
    orra::db::Connection* c = orra::mainConnection().get();
    if (!c)
        throw orra::Error(orra::kObjectNotSet, QStringLiteral("frmOrraDevelopment"),
            QStringLiteral("Object variable or With block variable not set"));
    return c;
}

QString frmOrraDevelopment::catalogueDatabase() const { return catalogueDatabaseName(); }

void frmOrraDevelopment::showError(const QString& description) const
{
    orra::userInterface().messageBox(description, orra::vbOKOnly);
}

// ---------------------------------------------------------------------------------------------
// Document model.

bool frmOrraDevelopment::LoadDocument()
{
    orra::db::Connection* con = nullptr;
    try {
        con = catalogue();
        const QString database = catalogueDatabase();
        con->setCommandTimeout(60);
        orra::db::RecordsetPtr rs;
        try {
            rs =
                con->execute(QStringLiteral("Select SqlTxt from %1..tbOrraSQL where ID=%2").arg(database).arg(m_docID));
        } catch (...) {
            con->setCommandTimeout(0);
            throw;
        }
        con->setCommandTimeout(0);
        if (!rs || !rs->isOpen() || rs->isEOF())
            throw orra::Error(orra::db::kNoCurrentRecord, QStringLiteral("ADODB.Field"),
                QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                               "Requested operation requires a current record."));
        const QVariant value = rs->value(0);
        if (value.isNull())
            throw orra::Error(
                orra::kInvalidUseOfNull, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Invalid use of Null"));
        const QString text = value.toString();
        rs.reset();

        // The new document replaces the shown one only once it has loaded and expanded.
        auto fresh = std::make_unique<xml::Document>();
        if (!text.isEmpty() && !fresh->loadXML(text))
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment::LoadDocument"),
                QStringLiteral("Can not parse XML"));
        if (!fresh->documentElement()) {
            // An empty stored text: the skeleton of a new document, stored at once.
            NewDocument();
            Save();
        } else {
            orra::ExpandIncludes(con, fresh->documentElement(), m_docID, database);
            // Nothing of the old document stays current; the tree's rebuild selects anew.
            m_document = std::move(fresh);
            NotifyDocumentReplaced();
        }
        return true;
    } catch (const orra::Error& e) {
        showError(e.description());
        return false;
    }
}

void frmOrraDevelopment::NewDocument()
{
    if (m_tree) {
        m_tree->clearNodes();
        m_tree->addNode({QString(), QStringLiteral("B0"), QStringLiteral("Document"), QStringLiteral("Document"),
            QString(), QStringLiteral("Document")});
    }
    m_document = std::make_unique<xml::Document>();
    NewDocumentSkeleton(*m_document);
    NotifyDocumentReplaced();
    m_currentElementID = xml::attribute(m_document->documentElement(), QStringLiteral("ID"));
    if (m_tree) tvDocument_NodeClick(m_tree->node(QStringLiteral("B0")));
}

void frmOrraDevelopment::PopulateTree()
{
    if (!m_tree || !m_document) return;
    const xml::Node root = m_document->documentElement();
    if (!root) return;
    m_tree->setUpdatesEnabled(false);
    const QSignalBlocker block(m_tree);
    m_tree->clearNodes();
    const TreeNodeSpec rootSpec = RootNodeSpec(root);
    // At most one node per element and one group per element that holds parameters.
    struct Counter : pugi::xml_tree_walker {
        int elements = 0;
        bool for_each(pugi::xml_node& n) override
        {
            elements += n.type() == pugi::node_element;
            return true;
        }
    } counter;
    xml::Node walked = root;
    walked.traverse(counter);
    const int elements = counter.elements;
    m_tree->beginBuild(elements + elements / 4 + 1);
    try {
        m_tree->addNode(rootSpec);
        AddChildNodes(rootSpec.key, root, false, [this](TreeNodeSpec&& n) { m_tree->addNode(std::move(n)); });
    } catch (...) {
        m_tree->endBuild();
        m_tree->setUpdatesEnabled(true);
        throw;
    }
    m_tree->endBuild();
    QTreeWidgetItem* rootNode = m_tree->node(rootSpec.key);
    m_tree->setCurrentItem(rootNode);
    m_tree->setUpdatesEnabled(true);
    tvDocument_NodeClick(rootNode);
    m_tree->expandNode(rootNode);
}

bool frmOrraDevelopment::SetNodeText(const QString& key, const QString& text)
{
    QTreeWidgetItem* item = m_tree ? m_tree->node(key) : nullptr;
    if (!item) return false;
    item->setText(0, text);
    return true;
}

bool frmOrraDevelopment::Save()
{
    FinishOpenEdits();
    orra::db::Connection* con = nullptr;
    bool began = false;
    try {
        con = catalogue();
        const QString database = catalogueDatabase();
        if (!orra::HasDocPermission(con, m_docID, 0, orra::rightChange)) {
            showError(QStringLiteral("Permission Denied : You could not change this document"));
            return false;
        }
        if (!m_document || !m_document->documentElement())
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment::Save"),
                QStringLiteral("There is no document to save"));
        const QString storedForm = StoredDocumentText(*m_document);
        // Includes the saved text does not hold yet (a document saved over another one brings
        // its own) are added by this save: only with the Include right, as the drop asks.
        if (!MayAddIncludes(*con, database, m_docID, storedForm)) {
            showError(QStringLiteral("Permission Denied : You could not include this document"));
            return false;
        }
        const QString stored = DoubleQuotes(storedForm);

        con->beginTrans();
        began = true;
        long written = -1;
        con->execute(QStringLiteral("update t set t.SQLTxt='") + stored + QStringLiteral("'")
                + QStringLiteral(" from %1..tbOrraSQL t").arg(database) + QStringLiteral(" where ID=%1").arg(m_docID),
            {}, &written);
        // A save that wrote no row is no save.
        if (written == 0)
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment::Save"),
                QStringLiteral("The document %1 no longer exists in the catalogue").arg(m_docID));
        const std::optional<int32_t> sum = ReadDocumentCheckSum(con, database, m_docID);
        if (!sum)
            throw orra::Error(orra::kSystemError, QStringLiteral("frmOrraDevelopment::Save"),
                QStringLiteral("The checksum of document %1 could not be read back").arg(m_docID));
        con->execute(QStringLiteral("update t set t.CheckSum=%1").arg(*sum)
            + QStringLiteral(" from %1..tbOrraSQL t").arg(database) + QStringLiteral(" where ID=%1").arg(m_docID));
        RewriteRelations(*con, database, m_docID, m_document->documentElement());
        con->commitTrans();
        began = false;
        m_documentChanged = false;
        return true;
    } catch (const orra::Error& e) {
        if (began) {
            try {
                con->rollbackTrans();
            } catch (const orra::Error&) {
            }
        }
        showError(e.description());
        return false;
    }
}

QString frmOrraDevelopment::ComputeDocumentCheckSum() const
{
    return morvane::ComputeDocumentCheckSum(catalogue(), catalogueDatabase(), m_docID);
}

xml::Node frmOrraDevelopment::CreateParameterElement(xml::Node owner, const QString& id, const QString& name,
    const QString& caption, const QString& defaultValue, const QString& type, const QString& source,
    const QString& prompt, const QString& selectionType, const QString& behaviour)
{
    const xml::Node p = morvane::CreateParameterElement(
        owner, id, name, caption, defaultValue, type, source, prompt, selectionType, behaviour);
    m_documentChanged = true;
    return p;
}

void frmOrraDevelopment::ReLoad()
{
    FinishOpenEdits();
    // The engine of a debug run walks the document shown: it is not replaced under it.
    if (StructureLocked()) return;
    if (m_documentChanged) {
        const int answer =
            orra::userInterface().messageBox(QStringLiteral("Save Changes ?"), orra::vbYesNoCancel, windowTitle());
        if (answer == orra::vbCancel) return;
        // A failed save keeps the edits (it has said why), as on closing.
        if (answer == orra::vbYes && !Save()) return;
    }
    try {
        // A document that no longer loads leaves the one shown in place (the error was shown).
        if (LoadDocument()) {
            PopulateTree();
            PopulateBreakPoints();
        }
    } catch (const orra::Error& e) {
        showError(e.description());
    }
}

// ---------------------------------------------------------------------------------------------
// Life cycle.

bool frmOrraDevelopment::LoadWindow()
{
    try {
        if (!m_tree) m_tree = frmtvDocument::instance()->GetNewtvDocument();
        installTreeEditing();
        FillPaneLists();
        for (int i = 1; i <= 5; ++i) m_frames[i]->setVisible(false);
        const int inner = height();
        m_splitter->setSizes({inner * 3 / 4, inner - inner * 3 / 4});
        m_resultPaneTop = inner * 3 / 4;
        if (!LoadDocument()) {
            Form_Unload();
            return false;
        }
        PopulateTree();
        m_resultStyle = QStringLiteral("ResultInGrid");
        m_loaded = true;
        watchSubWindow();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()); sub && sub->windowState() & Qt::WindowActive)
            Form_Activate();
        return true;
    } catch (const orra::Error& e) {
        showError(e.description());
        Form_Unload();
        return false;
    }
}

bool frmOrraDevelopment::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) watchSubWindow();
    return QWidget::event(event);
}

// The window is an MDI child: its sub-window's active state drives activation.
void frmOrraDevelopment::watchSubWindow()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub || sub->property("frmOrraDevelopmentWatched").toBool()) return;
    sub->setProperty("frmOrraDevelopmentWatched", true);
    connect(sub, &QMdiSubWindow::windowStateChanged, this, [this, sub](Qt::WindowStates, Qt::WindowStates now) {
        if (!m_loaded || m_unloaded) return;
        try {
            if (now & Qt::WindowActive) {
                if (m_active) return;
                // The window that was active goes first, so that its deactivation never
                // undoes what this activation switches on.
                if (QMdiArea* area = sub->mdiArea()) {
                    for (QMdiSubWindow* other : area->subWindowList()) {
                        auto* editor = qobject_cast<frmOrraDevelopment*>(other->widget());
                        if (editor && editor != this && editor->m_active && !editor->m_unloaded)
                            editor->Form_Deactivate();
                    }
                }
                Form_Activate();
            } else if (m_active) {
                // The program losing the focus (another program, a dialog) leaves this window
                // the current child: that is no switch between document windows.
                if (sub->mdiArea() && sub->mdiArea()->currentSubWindow() == sub) return;
                Form_Deactivate();
            }
        } catch (const orra::Error& e) {
            showError(e.description());
        }
    });
}

void frmOrraDevelopment::Form_Activate()
{
    m_active = true;
    if (m_tree && m_tree->currentItem()) tvDocument_NodeClick(m_tree->currentItem());
    ApplySettings();
    MainWindowLink main;
    main.SetDebugButtons(m_debugMode);
    main.SetToolbarButtonValue(QStringLiteral("ShowResultPane"), m_resultPaneVisible ? 1 : 0);
    for (const char* name : {"mnuDoc", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh"})
        main.SetMenuEnabled(QLatin1String(name), true);
    main.SetMenuChecked(QStringLiteral("mnuDebugTrace"), m_traceMode);
    main.SelectCatalogueNode(QStringLiteral("T%1").arg(m_docID));
    main.EnableToolbarButton(QStringLiteral("Save"), true);
    main.EnableToolbarButton(QStringLiteral("Refresh"), true);
    ApplyStructureLock();
    if (m_tree) m_tree->setVisible(true);
}

void frmOrraDevelopment::Form_Deactivate()
{
    m_active = false;
    MainWindowLink main;
    main.SetMenuEnabled(QStringLiteral("mnuDoc"), false);
    main.EnableDocumentCommands(false);
    main.SetDebugButtons(false);
    main.SetMenuEnabled(QStringLiteral("mnuDebugStart"), false);
    main.SetMenuEnabled(QStringLiteral("mnuDebugStartNew"), false);
    main.EnableToolbarButton(QStringLiteral("Run"), false);
    main.EnableToolbarButton(QStringLiteral("RunNew"), false);
    for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh", "mnuDocComment",
             "mnuDocUnComment", "mnuDocOutdent", "mnuDocIndent"})
        main.SetMenuEnabled(QLatin1String(name), false);
    if (m_tree) m_tree->setVisible(false);
}

bool frmOrraDevelopment::Form_QueryUnload()
{
    if (!m_documentChanged) return true;
    const int answer =
        orra::userInterface().messageBox(QStringLiteral("Save Changes ?"), orra::vbYesNoCancel, windowTitle());
    if (answer == orra::vbCancel) return false;
    // A refused or failed save keeps the window open with its edits.
    if (answer == orra::vbYes) return Save();
    return true;
}

void frmOrraDevelopment::closeEvent(QCloseEvent* event)
{
    // A window that never loaded (or has unloaded already) has nothing to ask or release.
    if (m_unloaded || !m_loaded) {
        event->accept();
        return;
    }
    if (DeferCloseDuringRun()) {
        event->ignore();
        return;
    }
    m_closePending = false;
    // A window that let go of its document has nothing of it to save.
    if (!m_documentReleased && !Form_QueryUnload()) {
        event->ignore();
        return;
    }
    // A paused (or ended) run is stopped as Stop stops it: its connection closed, the user
    // panel back to the catalogue's login.
    if (m_debugMode) {
        MainWindowLink().SetDebugButtons(false);
        m_debugMode = false;
        StopDebugMode(false);
    }
    Form_Unload();
    event->accept();
}

void frmOrraDevelopment::Form_Unload()
{
    if (m_unloaded) return;
    m_unloaded = true;
    try {
        // The main window's commands belong to the active window: a window closed behind it
        // (a document deleted from the catalogue) leaves them alone.
        if (m_active) Form_Deactivate();
    } catch (const orra::Error& e) {
        showError(e.description());
    }
    if (m_tree) frmtvDocument::instance()->UnloadtvDocument(m_tree);
    m_tree = nullptr;
    // The lock is released whatever happened before, if it is still this window's: a window
    // that let go of its document, or whose document another window now edits, leaves it.
    try {
        if (!m_documentReleased && !DocumentHeldByAnotherWindow(m_docID, this)) UnlockDocument(m_docID);
    } catch (const orra::Error& e) {
        showError(e.description());
    }
}

// ---------------------------------------------------------------------------------------------
// Settings.

void frmOrraDevelopment::ApplySettings()
{
    const bool changed = m_documentChanged;
    m_applyingSettings = true;
    try {
        m_look = editorOptions();
        applyLook();
        if (m_tree && m_tree->currentItem()) ShowElement(m_tree->currentItem());
    } catch (...) {
        m_documentChanged = changed;
        m_applyingSettings = false;
        throw;
    }
    m_documentChanged = changed;
    m_applyingSettings = false;
}

// The fonts and colours of the last ApplySettings on the editors made so far.
void frmOrraDevelopment::applyLook()
{
    auto apply = [](QPlainTextEdit* e, const QFont& font, const QColor& back) {
        if (!e) return;
        e->setFont(font);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, back);
        e->setPalette(p);
    };
    if (m_look) {
        const QColor sqlBack = toQColor(m_look->SQLColors[SqlBackColor]);
        for (QPlainTextEdit* e : {m_txtBlockSQL, m_txtparamDefaultVal, m_txtparamSource, m_txtStationSQL})
            apply(e, m_look->SQLFont.toQFont(), sqlBack);
        apply(m_txtScriptSource, m_look->ScriptFont.toQFont(), toQColor(m_look->ScriptColors[ScriptBackColor]));
    }
    // The description keeps its own look whatever the settings say.
    QFont description(QStringLiteral("Verdana"));
    description.setPointSize(8);
    description.setBold(false);
    description.setItalic(false);
    apply(m_txtdocDescription, description, QColor(0xff, 0xff, 0xff));
}

}   // namespace morvane

