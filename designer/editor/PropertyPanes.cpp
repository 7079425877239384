// The property panes: their fixed choice lists, the loading of the selected element into its
// pane (ShowElement), and the write-back of each field the author changes into the element,
// with DocumentChanged set.
//
// Showing an element never writes into the document: every change handler is idle while a
// pane is being filled, a Parameter without Behaviour is shown as "dynamic" and a root
// without Server as "{FREE}" without either being added, and missing parameter attributes
// show as empty text.

#include "common/DataSources.h"
#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/EditorTextHandlers.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/mdMain.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"
#include "platform/widgets/RichTextBox.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QStringList& typeEntries()
{
    static const QStringList entries = {QStringLiteral("text"), QStringLiteral("htext"), QStringLiteral("combo"),
        QStringLiteral("button"), QStringLiteral("date"), QStringLiteral("fact")};
    return entries;
}
const QStringList& selectionTypeEntries()
{
    static const QStringList entries = {QStringLiteral("single"), QStringLiteral("multi")};
    return entries;
}
const QStringList& behaviourEntries()
{
    static const QStringList entries = {QStringLiteral("dynamic"), QStringLiteral("static")};
    return entries;
}

// A drop-down list cleared and filled with entries, nothing selected, without a change notice.
void fillList(QComboBox* combo, const QStringList& entries)
{
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
}

// The ParameterGroup list draws a static parameter's row in RGB(200, 125, 0).
const QColor kStaticColor(200, 125, 0);

bool is(const QString& tag, const char* a, const char* b) { return tag == QLatin1String(a) || tag == QLatin1String(b); }

}   // namespace

// ---------------------------------------------------------------------------------------------
// Fixed lists.

int frmOrraDevelopment::TypeIndex(const QString& text) { return int(typeEntries().indexOf(text)); }
int frmOrraDevelopment::SelectionTypeIndex(const QString& text) { return int(selectionTypeEntries().indexOf(text)); }
int frmOrraDevelopment::BehaviourIndex(const QString& text) { return int(behaviourEntries().indexOf(text)); }

// The fixed lists are filled when the window loads; a pane made later (most windows never
// show most panes) fills its lists when it is made, from the same entries.

void frmOrraDevelopment::FillSelectionTypeCombo()
{
    if (m_cbparamSelectionType) fillList(m_cbparamSelectionType, selectionTypeEntries());
}

void frmOrraDevelopment::FillTypeCombo()
{
    if (m_cbparamType) fillList(m_cbparamType, typeEntries());
}

void frmOrraDevelopment::FillBehaviourCombo()
{
    if (m_cbparamBehaviour) fillList(m_cbparamBehaviour, behaviourEntries());
}

void frmOrraDevelopment::FillServerCombo()
{
    // The registry that registration writes and the run-time reads, reached through the
    // catalogue connection as the run-time reaches it. A login that may not read the registry
    // still edits its documents: the list then offers "{FREE}" alone, and a server is typed.
    orra::db::Connection* con = catalogue();
    m_servers = QStringList{QStringLiteral("{FREE}")};
    try {
        m_servers += orra::RegisteredServerNames(*con);
    } catch (const orra::Error&) {
    }
    if (!m_cbdocServer) return;
    const QSignalBlocker block(m_cbdocServer);
    m_cbdocServer->clear();
    m_cbdocServer->addItems(m_servers);
    m_cbdocServer->setCurrentIndex(-1);
    m_cbdocServer->clearEditText();
}

void frmOrraDevelopment::FillScriptLangCombo()
{
    if (m_cbScriptLang) fillList(m_cbScriptLang, {QStringLiteral("VBScript"), QStringLiteral("JScript")});
}

void frmOrraDevelopment::FillPaneLists()
{
    FillSelectionTypeCombo();
    FillTypeCombo();
    FillBehaviourCombo();
    FillServerCombo();
    FillScriptLangCombo();
}

// ---------------------------------------------------------------------------------------------
// The change handlers of a pane's fields, connected when the pane is made.

void frmOrraDevelopment::wirePane(int index)
{
    // The multi-line texts (SQL, script, description, Default Value, Source) write back through
    // the text editors' own change handling (EditorTextHandlers).
    switch (index) {
    case PaneParameter:
        FillSelectionTypeCombo();
        FillTypeCombo();
        FillBehaviourCombo();
        connect(m_txtparamCaption, &QLineEdit::textChanged, this,
            [this] { paramTextChanged(m_txtparamCaption, "Caption"); });
        connect(
            m_txtparamPrompt, &QLineEdit::textChanged, this, [this] { paramTextChanged(m_txtparamPrompt, "Prompt"); });
        connect(m_txtparamReturnCol, &QLineEdit::textChanged, this,
            [this] { paramTextChanged(m_txtparamReturnCol, "ReturnCol"); });
        connect(m_cbparamType, &QComboBox::currentIndexChanged, this, [this] { cbparamType_Click(); });
        connect(
            m_cbparamSelectionType, &QComboBox::currentIndexChanged, this, [this] { cbparamSelectionType_Click(); });
        break;
    case PaneDocument: {
        const QSignalBlocker block(m_cbdocServer);
        m_cbdocServer->addItems(m_servers);
        m_cbdocServer->setCurrentIndex(-1);
        m_cbdocServer->clearEditText();
        break;
    }
    case PaneScript:
        FillScriptLangCombo();
        connect(m_cbScriptLang, &QComboBox::currentIndexChanged, this, [this] { cbScriptLang_Click(); });
        break;
    case PaneParameterGroup:
        m_lvParameters->setColumnCount(4);
        m_lvParameters->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Caption"), QStringLiteral("Type"),
            QStringLiteral("Default Value")});
        m_lvParameters->setSelectionBehavior(QAbstractItemView::SelectRows);
        break;
    default:
        break;
    }
}

void frmOrraDevelopment::paramTextChanged(QLineEdit* editor, const char* attribute)
{
    const xml::Node p = CurrentParameter();
    if (m_showingElement || m_applyingSettings || !p) return;
    xml::setAttribute(p, QLatin1String(attribute), editor->text());
    if (!editor->isReadOnly()) m_documentChanged = true;
}

void frmOrraDevelopment::cbparamType_Click()
{
    const xml::Node p = CurrentParameter();
    if (m_showingElement || !p) return;
    const QString type = m_cbparamType->currentText();
    xml::setAttribute(p, QStringLiteral("Type"), type);
    m_documentChanged = true;
    ApplyTypeRule(type, true);
}

void frmOrraDevelopment::cbparamSelectionType_Click()
{
    const xml::Node p = CurrentParameter();
    if (m_showingElement || !p) return;
    xml::setAttribute(p, QStringLiteral("SelectionType"), m_cbparamSelectionType->currentText());
    m_documentChanged = true;
}

void frmOrraDevelopment::cbScriptLang_Click()
{
    const xml::Node script = CurrentScript();
    if (m_showingElement || !script) return;
    xml::setAttribute(script, QStringLiteral("Language"), m_cbScriptLang->currentText());
    m_documentChanged = true;
}

// Which of Prompt, Return Column, Source and Selection Type a parameter type offers. The
// simple types empty them (through their own change handling) when the author chooses one.
void frmOrraDevelopment::ApplyTypeRule(const QString& type, bool emptyValues)
{
    bool prompt = false, source = false, selection = false;
    if (type == QLatin1String("text") || type == QLatin1String("htext") || type == QLatin1String("date")
        || type == QLatin1String("fact")) {
        if (emptyValues) {
            m_txtparamPrompt->clear();
            m_txtparamReturnCol->clear();
            // Through the text box's own change handling, which writes the empty Source.
            if (auto* source = qobject_cast<orra::RichTextBox*>(m_txtparamSource))
                source->setText(QString());
            else
                m_txtparamSource->clear();
            m_cbparamSelectionType->setCurrentIndex(-1);
        }
    } else if (type == QLatin1String("combo")) {
        source = true;
    } else if (type == QLatin1String("button")) {
        prompt = source = selection = true;
    } else {
        return;   // no type chosen: the fields stay as they are
    }
    const auto labelled = [this](QWidget* editor, const char* labelName, bool enabled) {
        editor->setEnabled(enabled);
        if (auto* l = findChild<QLabel*>(QLatin1String(labelName))) l->setEnabled(enabled);
    };
    labelled(m_txtparamPrompt, "lbPrompt", prompt);
    labelled(m_txtparamReturnCol, "lbReturnCol", prompt);
    labelled(m_txtparamSource, "lbSource", source);
    // A locked pane's lists take no input whatever the type offers.
    labelled(m_cbparamSelectionType, "lbSelectionType", selection);
    if (m_txtparamCaption->isReadOnly()) m_cbparamSelectionType->setEnabled(false);
}

// ---------------------------------------------------------------------------------------------
// Loading.

void frmOrraDevelopment::ShowElement(QTreeWidgetItem* node)
{
    if (!node || !m_document) return;
    const bool changed = m_documentChanged;
    const bool wasShowing = m_showingElement;
    m_showingElement = true;
    const auto restore = [&] {
        m_showingElement = wasShowing;
        m_documentChanged = changed;
    };
    try {
        const QString tag = DocumentTree::tag(node);
        const QString key = DocumentTree::key(node);
        // The element of the node, found below the current element.
        const auto below = [this, &key] {
            return orra::FindElementByAttribute(CurrentElement(), QStringLiteral("ID"), key) ? key : QString();
        };
        if (is(tag, "Block", "IBlock")) {
            LoadBlockPane();
            m_text->LoadElementText(node, CurrentElement());
        } else if (is(tag, "ParameterGroup", "IParameterGroup")) {
            LoadParameterList(node);
        } else if (is(tag, "Parameter", "IParameter")) {
            m_currentParameterID = below();
            LoadParameterPane();
            m_text->LoadElementText(node, CurrentParameter());
        } else if (is(tag, "Station", "IStation")) {
            m_currentStationID = below();
            LoadStationPane();
            m_text->LoadElementText(node, CurrentStation());
        } else if (is(tag, "Script", "IScript")) {
            m_currentScriptID = below();
            LoadScriptPane();
            m_text->LoadElementText(node, CurrentScript());
        } else if (is(tag, "Document", "IDocument")) {
            LoadDocumentPane();
        } else if (is(tag, "Include", "IInclude")) {
            LoadInheritanceGrid();
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// The texts of Blocks, Stations, Scripts and Parameters are shown (coloured, with their caret
// where it was left) by the text editors' handler; the loaders fill the rest of each pane.

void frmOrraDevelopment::LoadBlockPane() { ensurePane(PaneBlock); }

void frmOrraDevelopment::LoadStationPane() { ensurePane(PaneStation); }

void frmOrraDevelopment::LoadScriptPane()
{
    ensurePane(PaneScript);
    m_cbScriptLang->setCurrentIndex(m_cbScriptLang->findText(
        xml::attribute(CurrentScript(), QStringLiteral("Language")), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void frmOrraDevelopment::LoadDocumentPane()
{
    ensurePane(PaneDocument);
    const xml::Node root = CurrentElement();
    m_txtdocDescription->setPlainText(xml::bodyText(root));
    // A root of the older form (no Server) is a document bound to no server.
    const QString server = xml::hasAttribute(root, QStringLiteral("Server"))
        ? xml::attribute(root, QStringLiteral("Server"))
        : QStringLiteral("{FREE}");
    const int at = m_cbdocServer->findText(server, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_cbdocServer->setCurrentIndex(at);
    if (at < 0) m_cbdocServer->setEditText(server);
}

void frmOrraDevelopment::LoadParameterPane()
{
    ensurePane(PaneParameter);
    const xml::Node p = CurrentParameter();
    const auto value = [p](const char* name) { return xml::attribute(p, QLatin1String(name)); };
    m_txtparamCaption->setText(value("Caption"));
    m_txtparamPrompt->setText(value("Prompt"));
    m_txtparamReturnCol->setText(value("ReturnCol"));
    const QString type = value("Type");
    m_cbparamType->setCurrentIndex(TypeIndex(type));
    ApplyTypeRule(type, false);
    m_cbparamSelectionType->setCurrentIndex(SelectionTypeIndex(value("SelectionType")));
    // A parameter without Behaviour is dynamic.
    const QString behaviour =
        xml::hasAttribute(p, QStringLiteral("Behaviour")) ? value("Behaviour") : QStringLiteral("dynamic");
    m_cbparamBehaviour->setCurrentIndex(BehaviourIndex(behaviour));
}

void frmOrraDevelopment::LoadParameterList(QTreeWidgetItem* node)
{
    ensurePane(PaneParameterGroup);
    m_lvParameters->clear();
    if (m_tree) m_tree->buildChildItems(node);
    const xml::Node owner = CurrentElement();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < node->childCount(); ++i) {
        const xml::Node e =
            orra::FindElementByAttribute(owner, QStringLiteral("ID"), DocumentTree::key(node->child(i)));
        const auto value = [e](const char* name) { return xml::attribute(e, QLatin1String(name)); };
        auto* item =
            new QTreeWidgetItem(QStringList{value("Name"), value("Caption"), value("Type"), value("DefaultValue")});
        item->setData(0, Qt::UserRole, value("ID"));
        const QColor colour = value("Behaviour") == QLatin1String("static") ? kStaticColor : QColor(Qt::black);
        for (int c = 0; c < 4; ++c) item->setForeground(c, colour);
        items << item;
    }
    m_lvParameters->addTopLevelItems(items);
}

}   // namespace morvane
