#pragma once
// The find and replace dialog of the document editor. The search text is a regular
// expression used as typed; the dialog walks the document's elements in document order,
// shows each element that holds a match in its pane (by selecting its tree node) and selects
// the match in the pane's text box, where Replace and Replace All change it. One dialog serves
// the whole session (the main window keeps it); closing it only hides it, so it remembers the
// running search.

#include "common/Xml.h"
#include "platform/text/RegExp.h"
#include "platform/widgets/RichTextBox.h"

#include <QDialog>
#include <QPointer>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace morvane {

class frmOrraDevelopment;

class frmFindReplace : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int TypeOfAction READ typeOfAction WRITE setTypeOfAction)
    Q_PROPERTY(QObject* SearchDoc READ searchDoc WRITE setSearchDoc)

public:
    explicit frmFindReplace(QWidget* parent = nullptr);

    // Registers the dialog with the shell's dialog creators ("frmFindReplace").
    static void registerDialog();

    int typeOfAction() const { return m_typeOfAction; }
    void setTypeOfAction(int action) { m_typeOfAction = action; }
    QObject* searchDoc() const;
    void setSearchDoc(QObject* window);
    // The box the last match was found in (null before any).
    orra::RichTextBox* SearchRTFText() const { return m_searchRTFText; }

    // The buttons' actions.
    void cmdFind_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void restart();
    void showReplaceControls(bool shown);
    orra::xml::Node GetStartElement() const;
    orra::RichTextBox* GetSearchEditor(const QString& attribute) const;
    bool ElementTextMatches(const QString& pattern, bool ignoreCase) const;
    std::optional<QList<orra::RegExpMatch>> ExecutePattern(
        const QString& text, const QString& pattern, bool ignoreCase, bool global) const;
    void LoadEditorMatches(const QString& text, const QString& pattern, bool ignoreCase);
    bool ElementHasNode() const;
    void ShowElementNode();
    bool SelectNextMatch();
    orra::xml::Node NextElementInOrder() const;
    void FindNext(const QString& pattern, bool ignoreCase);
    void notFound(const QString& title);
    QString dialogPattern() const;
    bool dialogIgnoreCase() const;

    // Controls.
    QLineEdit* m_txtFindWhat;
    QLabel* m_lbReplaceWith;
    QLineEdit* m_txtReplaceWith;
    QCheckBox* m_chcMatchCase;
    QCheckBox* m_chcWholeWord;
    QCheckBox* m_chcIncludeScript;
    QRadioButton* m_optAllDocument;
    QRadioButton* m_optCurrentElement;
    QPushButton* m_cmdFind;
    QPushButton* m_cmdReplace;
    QPushButton* m_cmdReplaceAll;
    QPushButton* m_cmdCancel;

    // Fields.
    int m_typeOfAction = 0;
    QPointer<frmOrraDevelopment> m_searchDoc;
    QPointer<orra::RichTextBox> m_searchRTFText;
    // The element the search stands on: between two Finds only its ID is kept, and the element
    // is looked up again in the document as it is then; the window tells when it goes.
    orra::xml::Node m_currentSearchElement;
    QString m_currentSearchId;
    QList<orra::RegExpMatch> m_editorMatches;
    int m_matchIndex = 0;
    bool m_searchStarted = false;
    bool m_elementTested = false;
    bool m_elementMatches = false;
    bool m_replaceMode = false;
    QString m_searchPattern;
    bool m_ignoreCase = true;
    QString m_searchAttribute;
    bool m_replaceArmed = false;
    // The match selected by the last Find, while it is still the box's selection target.
    std::optional<orra::RegExpMatch> m_currentMatch;
};

}   // namespace morvane
