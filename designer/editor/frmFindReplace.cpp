#include "designer/editor/frmFindReplace.h"

#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/DesignerFactories.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/RichTextBox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QString kNotFound = QStringLiteral("Search text is not found");

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // Enter goes to the form, which runs the action of the focused control.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QCheckBox* checkBox(const QString& text, const char* name, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

}   // namespace

frmFindReplace::frmFindReplace(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFindReplace"));
    setWindowTitle(QStringLiteral("Find"));

    auto* lbFindWhat = new QLabel(QStringLiteral("Find What:"), this);
    lbFindWhat->setObjectName(QStringLiteral("lbFindWhat"));
    m_txtFindWhat = new QLineEdit(QStringLiteral("{Regular Expression}"), this);
    m_txtFindWhat->setObjectName(QStringLiteral("txtFindWhat"));
    m_txtFindWhat->setAccessibleName(QStringLiteral("Find What:"));
    lbFindWhat->setBuddy(m_txtFindWhat);
    m_lbReplaceWith = new QLabel(QStringLiteral("Replace With:"), this);
    m_lbReplaceWith->setObjectName(QStringLiteral("lbReplaceWith"));
    m_txtReplaceWith = new QLineEdit(this);
    m_txtReplaceWith->setObjectName(QStringLiteral("txtReplaceWith"));
    m_txtReplaceWith->setAccessibleName(QStringLiteral("Replace With:"));
    m_lbReplaceWith->setBuddy(m_txtReplaceWith);

    m_chcMatchCase = checkBox(QStringLiteral("Match case"), "chcMatchCase", this);
    m_chcWholeWord = checkBox(QStringLiteral("Find whole words only"), "chcWholeWord", this);
    m_chcIncludeScript = checkBox(QStringLiteral("Include Scripts"), "chcIncludeScript", this);

    auto* search = new QGroupBox(QStringLiteral("Search"), this);
    search->setObjectName(QStringLiteral("fraSearch"));
    m_optAllDocument = new QRadioButton(QStringLiteral("All Document"), search);
    m_optAllDocument->setObjectName(QStringLiteral("optAllDocument"));
    m_optCurrentElement = new QRadioButton(QStringLiteral("Current element"), search);
    m_optCurrentElement->setObjectName(QStringLiteral("optCurrentElement"));
    m_optAllDocument->setChecked(true);
    auto* searchLayout = new QVBoxLayout(search);
    searchLayout->addWidget(m_optAllDocument);
    searchLayout->addWidget(m_optCurrentElement);

    m_cmdFind = button(QStringLiteral("&Find"), "cmdFind", this);
    m_cmdReplace = button(QStringLiteral("&Replace"), "cmdReplace", this);
    m_cmdReplaceAll = button(QStringLiteral("Replace &All"), "cmdReplaceAll", this);
    m_cmdCancel = button(QStringLiteral("&Cancel"), "cmdCancel", this);

    auto* grid = new QGridLayout;
    grid->addWidget(lbFindWhat, 0, 0);
    grid->addWidget(m_txtFindWhat, 0, 1);
    grid->addWidget(m_lbReplaceWith, 1, 0);
    grid->addWidget(m_txtReplaceWith, 1, 1);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(m_chcMatchCase);
    checks->addWidget(m_chcWholeWord);
    checks->addWidget(m_chcIncludeScript);
    checks->addStretch(1);
    options->addLayout(checks);
    options->addWidget(search);
    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(options);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_cmdFind, m_cmdReplace, m_cmdReplaceAll, m_cmdCancel}) buttons->addWidget(b);
    buttons->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(left, 1);
    outer->addLayout(buttons);

    connect(m_cmdFind, &QPushButton::clicked, this, &frmFindReplace::cmdFind_Click);
    connect(m_cmdReplace, &QPushButton::clicked, this, &frmFindReplace::cmdReplace_Click);
    connect(m_cmdReplaceAll, &QPushButton::clicked, this, &frmFindReplace::cmdReplaceAll_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmFindReplace::cmdCancel_Click);
    connect(m_chcMatchCase, &QCheckBox::clicked, this, &frmFindReplace::restart);
    connect(m_chcWholeWord, &QCheckBox::clicked, this, &frmFindReplace::restart);
    connect(m_txtFindWhat, &QLineEdit::textChanged, this, &frmFindReplace::restart);
    auto scope = [this] { m_chcIncludeScript->setEnabled(m_optAllDocument->isChecked()); };
    connect(m_optAllDocument, &QRadioButton::toggled, this, scope);
    scope();
}

void frmFindReplace::registerDialog()
{
    setDialogCreator(
        QStringLiteral("frmFindReplace"), [](QWidget* parent) -> QWidget* { return new frmFindReplace(parent); });
}

QObject* frmFindReplace::searchDoc() const { return m_searchDoc.data(); }

void frmFindReplace::setSearchDoc(QObject* window)
{
    auto* editor = qobject_cast<frmOrraDevelopment*>(window);
    // Another window: a search of the one before cannot go on in it.
    if (editor != m_searchDoc) {
        restart();
        m_searchRTFText = nullptr;
        if (m_searchDoc) disconnect(m_searchDoc, nullptr, this, nullptr);
        if (editor) {
            // A document read again, or the element the search stands on gone: start over.
            connect(editor, &frmOrraDevelopment::DocumentReplaced, this, &frmFindReplace::restart);
            connect(editor, &frmOrraDevelopment::ElementsRemoved, this, [this](const QStringList& ids) {
                if (ids.contains(m_currentSearchId)) restart();
            });
            connect(editor, &frmOrraDevelopment::ElementIDChanged, this,
                [this](const QString& oldID, const QString& newID) {
                    if (m_currentSearchId == oldID) m_currentSearchId = newID;
                });
        }
    }
    m_searchDoc = editor;
}

void frmFindReplace::restart()
{
    m_searchStarted = false;
    m_currentSearchElement = orra::xml::Node();
    m_matchIndex = 0;
    m_currentMatch.reset();
}

void frmFindReplace::showReplaceControls(bool shown)
{
    m_lbReplaceWith->setVisible(shown);
    m_txtReplaceWith->setVisible(shown);
    m_cmdReplaceAll->setVisible(shown);
}

void frmFindReplace::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const bool replace = m_typeOfAction != 0;
    showReplaceControls(replace);
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    m_cmdReplace->setVisible(true);
    m_txtFindWhat->setFocus();
    m_txtFindWhat->selectAll();
}

void frmFindReplace::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QWidget* focused = focusWidget();
        const QString name = focused ? focused->objectName() : QString();
        if (name == QLatin1String("txtReplaceWith") || name == QLatin1String("cmdReplace")) {
            m_cmdReplace->setFocus();
            cmdReplace_Click();
        } else if (name == QLatin1String("cmdReplaceAll")) {
            m_cmdReplaceAll->setFocus();
            cmdReplaceAll_Click();
        } else {
            m_cmdFind->setFocus();
            cmdFind_Click();
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmFindReplace::closeEvent(QCloseEvent* event)
{
    // Closing only hides the dialog: the search is kept for the next opening.
    event->ignore();
    cmdCancel_Click();
}

void frmFindReplace::cmdCancel_Click()
{
    hide();
    if (isModal()) done(QDialog::Rejected);
}

QString frmFindReplace::dialogPattern() const
{
    const QString text = m_txtFindWhat->text();
    return m_chcWholeWord->isChecked() ? QStringLiteral("\\b") + text + QStringLiteral("\\b") : text;
}

bool frmFindReplace::dialogIgnoreCase() const { return !m_chcMatchCase->isChecked(); }

void frmFindReplace::notFound(const QString& title)
{
    orra::userInterface().messageBox(kNotFound, orra::vbInformation, title);
}

// ---------------------------------------------------------------------------------------------
// Find.

void frmFindReplace::cmdFind_Click()
{
    m_replaceMode = m_typeOfAction == 1;
    const xml::Document* searched = m_searchDoc ? m_searchDoc->document() : nullptr;
    if (!searched) {
        // The window closed: its search is over.
        restart();
        notFound(QStringLiteral("Find"));
        return;
    }
    if (m_searchStarted) {
        // The element the search stands on, found again by its ID in the document as it is now.
        const xml::Node root = searched->documentElement();
        m_currentSearchElement = xml::attribute(root, QStringLiteral("ID")) == m_currentSearchId
            ? root
            : orra::FindElementByAttribute(root, QStringLiteral("ID"), m_currentSearchId);
        if (!m_currentSearchElement) restart();
    }
    if (!m_searchStarted) {
        m_searchPattern = dialogPattern();
        m_ignoreCase = dialogIgnoreCase();
        m_currentSearchElement = m_optCurrentElement->isChecked() ? GetStartElement() : searched->documentElement();
        m_elementTested = false;
    }
    FindNext(m_searchPattern, m_ignoreCase);
    // No handle outlives the Find: the next one looks the element up by its ID.
    m_currentSearchElement = xml::Node();
}

xml::Node frmFindReplace::GetStartElement() const
{
    if (!m_searchDoc || !m_searchDoc->document() || !m_searchDoc->tvDocument()) return {};
    const QTreeWidgetItem* node = m_searchDoc->tvDocument()->currentItem();
    if (!node) return {};
    const QString key = DocumentTree::key(node);
    const xml::Node root = m_searchDoc->document()->documentElement();
    if (key == QLatin1String("B0")) return root;
    return orra::FindElementByAttribute(root, QStringLiteral("ID"), key);
}

bool frmFindReplace::ElementTextMatches(const QString& pattern, bool ignoreCase) const
{
    const xml::Node e = m_currentSearchElement;
    if (!e || !xml::isElement(e)) return false;
    if (m_replaceMode && xml::attribute(e, QStringLiteral("ID")).contains(QLatin1Char('|'))) return false;
    QString text;
    const QString tag = xml::tagName(e);
    if (tag == QLatin1String("Block") || tag == QLatin1String("Station") || tag == QLatin1String("Script")) {
        text = xml::bodyText(e);
    } else if (tag == QLatin1String("Parameter")) {
        if (!xml::hasAttribute(e, QStringLiteral("DefaultValue")) || !xml::hasAttribute(e, QStringLiteral("Source")))
            return false;
        text = xml::attribute(e, QStringLiteral("DefaultValue")) + xml::attribute(e, QStringLiteral("Source"));
    }
    if (text.isEmpty()) return false;
    // The stored text keeps whatever line breaks it has; the boxes show CR LF.
    orra::RegExp re;
    re.pattern = pattern;
    re.ignoreCase = ignoreCase;
    re.global = true;
    try {
        return re.test(text);
    } catch (const orra::Error&) {
        return false;
    }
}

std::optional<QList<orra::RegExpMatch>> frmFindReplace::ExecutePattern(
    const QString& text, const QString& pattern, bool ignoreCase, bool global) const
{
    orra::RegExp re;
    re.pattern = pattern;
    re.ignoreCase = ignoreCase;
    re.global = global;
    try {
        return re.execute(text);
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
        return std::nullopt;
    }
}

void frmFindReplace::LoadEditorMatches(const QString& text, const QString& pattern, bool ignoreCase)
{
    m_editorMatches = ExecutePattern(text, pattern, ignoreCase, true).value_or(QList<orra::RegExpMatch>());
    m_searchStarted = true;
}

orra::RichTextBox* frmFindReplace::GetSearchEditor(const QString& attribute) const
{
    if (!m_searchDoc) return nullptr;
    auto editor = [this](const char* name) { return m_searchDoc->findChild<orra::RichTextBox*>(QLatin1String(name)); };
    auto visible = [this](int pane) {
        const QFrame* f = m_searchDoc->frame(pane);
        return f && !f->isHidden();
    };
    if (visible(frmOrraDevelopment::PaneParameter)) {
        if (attribute.isEmpty() || attribute == QLatin1String("DefaultValue")) return editor("txtparamDefaultVal");
        if (attribute == QLatin1String("Source")) return editor("txtparamSource");
        return nullptr;
    }
    if (visible(frmOrraDevelopment::PaneDocument)) return editor("txtdocDescription");
    if (visible(frmOrraDevelopment::PaneBlock)) return editor("txtBlockSQL");
    if (visible(frmOrraDevelopment::PaneStation)) return editor("txtStationSQL");
    if (visible(frmOrraDevelopment::PaneScript)) return editor("txtScriptSource");
    return nullptr;
}

bool frmFindReplace::ElementHasNode() const
{
    if (!m_searchDoc || !m_searchDoc->documentTree() || !m_currentSearchElement) return false;
    return m_searchDoc->documentTree()->hasNode(xml::attribute(m_currentSearchElement, QStringLiteral("ID")));
}

void frmFindReplace::ShowElementNode()
{
    if (!m_searchDoc || !m_searchDoc->documentTree()) return;
    QTreeWidgetItem* node =
        m_searchDoc->documentTree()->node(xml::attribute(m_currentSearchElement, QStringLiteral("ID")));
    if (!node) return;
    m_searchDoc->documentTree()->setCurrentItem(node);
    m_searchDoc->tvDocument_NodeClick(node);
}

bool frmFindReplace::SelectNextMatch()
{
    for (;;) {
        ++m_matchIndex;
        if (m_matchIndex > m_editorMatches.size()) break;
        const orra::RegExpMatch& m = m_editorMatches[m_matchIndex - 1];
        if (m.value.isEmpty()) continue;
        if (!m_searchRTFText) break;
        m_searchRTFText->setSelStart(m.firstIndex);
        m_searchRTFText->setSelLength(m.length);
        m_currentMatch = m;
        m_currentSearchId = xml::attribute(m_currentSearchElement, QStringLiteral("ID"));
        return true;
    }
    m_matchIndex = 0;
    return false;
}

xml::Node frmFindReplace::NextElementInOrder() const
{
    const xml::Node current = m_currentSearchElement;
    if (!current) return {};
    for (xml::Node c = current.first_child(); c; c = c.next_sibling())
        if (xml::isElement(c)) return c;
    auto nextElementSibling = [](xml::Node n) {
        for (xml::Node s = n.next_sibling(); s; s = s.next_sibling())
            if (xml::isElement(s)) return s;
        return xml::Node();
    };
    if (const xml::Node s = nextElementSibling(current)) return s;
    xml::Node up = current.parent();
    while (up && xml::isElement(up)) {
        if (const xml::Node s = nextElementSibling(up)) return s;
        if (xml::attribute(up, QStringLiteral("ID")) == QLatin1String("B0")) break;
        up = up.parent();
    }
    return {};
}

void frmFindReplace::FindNext(const QString& pattern, bool ignoreCase)
{
    m_currentMatch.reset();
    for (;;) {
        if (!m_elementTested) {
            m_elementMatches = ElementTextMatches(pattern, ignoreCase);
            m_elementTested = true;
        }
        if (m_elementMatches) {
            bool load = false;
            if (m_matchIndex == 0) {
                m_searchAttribute = xml::tagName(m_currentSearchElement) == QLatin1String("Parameter")
                    ? QStringLiteral("DefaultValue")
                    : QString();
                ShowElementNode();
                load = true;
            }
            for (;;) {
                if (load) {
                    m_searchRTFText = GetSearchEditor(m_searchAttribute);
                    LoadEditorMatches(m_searchRTFText ? m_searchRTFText->Text() : QString(), pattern, ignoreCase);
                }
                if (SelectNextMatch()) return;
                if (xml::tagName(m_currentSearchElement) == QLatin1String("Parameter")
                    && m_searchAttribute == QLatin1String("DefaultValue")) {
                    m_searchAttribute = QStringLiteral("Source");
                    load = true;
                    continue;
                }
                break;
            }
        }
        // Moving on.
        if (m_optCurrentElement->isChecked()) {
            notFound(QStringLiteral("Find"));
            m_searchStarted = false;
            m_matchIndex = 0;
            return;
        }
        do {
            m_currentSearchElement = NextElementInOrder();
        } while (m_currentSearchElement && !ElementHasNode());
        if (!m_currentSearchElement) {
            notFound(QStringLiteral("Find"));
            m_searchStarted = false;
            m_matchIndex = 0;
            return;
        }
        m_elementTested = false;
    }
}

// ---------------------------------------------------------------------------------------------
// Replace.

void frmFindReplace::cmdReplace_Click()
{
    if (m_typeOfAction == 0) {
        showReplaceControls(true);
        m_typeOfAction = 1;
    }
    if (!m_replaceArmed) {
        cmdFind_Click();
        m_replaceArmed = true;
        return;
    }
    orra::RichTextBox* box = m_searchRTFText;
    // Only a match that the last Find selected, and that is still selected, is replaced: after
    // "Search text is not found" the box's selection is the author's own.
    const bool onMatch = box && m_currentMatch && box->SelStart() == m_currentMatch->firstIndex
        && box->SelLength() == m_currentMatch->length;
    if (onMatch) {
        if (box->Locked()) {
            orra::userInterface().messageBox(QStringLiteral("The text is read-only: nothing was replaced."),
                orra::vbInformation, QStringLiteral("Replace"));
            return;
        }
        box->setSelText(m_txtReplaceWith->text());
        m_elementTested = false;
        m_matchIndex = 0;
    }
    cmdFind_Click();
}

void frmFindReplace::cmdReplaceAll_Click()
{
    orra::RichTextBox* box = m_searchRTFText;
    if (!box) {
        notFound(QStringLiteral("Replace"));
        return;
    }
    const auto matches = ExecutePattern(box->Text(), dialogPattern(), dialogIgnoreCase(), true);
    if (!matches) {
        notFound(QStringLiteral("Replace"));
        return;
    }
    int replaced = 0;
    bool nonEmpty = false;
    for (const orra::RegExpMatch& m : *matches) nonEmpty = nonEmpty || !m.value.isEmpty();
    if (nonEmpty && box->Locked()) {
        orra::userInterface().messageBox(QStringLiteral("The text is read-only: nothing was replaced."),
            orra::vbInformation, QStringLiteral("Replace"));
        return;
    }
    const QString replacement = m_txtReplaceWith->text();
    int shift = 0;
    for (const orra::RegExpMatch& m : *matches) {
        if (m.value.isEmpty()) continue;
        box->setSelStart(m.firstIndex + shift);
        box->setSelLength(m.length);
        box->setSelText(replacement);
        shift += int(replacement.size()) - m.length;
        ++replaced;
    }
    m_currentMatch.reset();
    orra::userInterface().messageBox(QStringLiteral("Search complete. %1 replacement made.").arg(replaced),
        orra::vbInformation, QStringLiteral("Replace"));
}

}   // namespace morvane
