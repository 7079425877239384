#pragma once
// The criteria control: one grid row per criterion (query parameter), the prompt in the first
// column and the value in the second, edited in place with the editor that suits the
// criterion's type (text box, list, date editor, record picker behind a row button).
//
// A host lends a connection (SetCon), clears the control (UnSetGrdCriteria), adds its criteria
// one by one (AddCriteria), lets the user edit, then collects the values
// (PopulateCriteriaValues) and reads them back with CriteriaCount and GetCriteriaArray.

#include "criteria/clsCriteria.h"
#include "platform/db/Connection.h"

#include <QList>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <vector>

class QCalendarWidget;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QToolButton;

namespace orra {

class FlexGrid;
class UserInterface;

class rptCriteria : public QWidget {
    Q_OBJECT
    // A query template whose "<%ID;prompt;type;initial value;options%>" placeholders become the
    // criteria (SetGrdCriteria) and whose placeholders and "<$ID%>" references take the values
    // (GetRunableSQL). The control never changes it.
    Q_PROPERTY(QString SQLTxt READ SQLTxt WRITE setSQLTxt)
public:
    explicit rptCriteria(QWidget* parent = nullptr);
    ~rptCriteria() override;

    // ---- interface, in the order hosts know it ----
    qint16 CriteriaCount() const { return m_criteriaCount; }
    // Keeps newCon as the data connection for lists, "select"/"sql:" initial values and the
    // record pickers. The control never opens or closes it.
    void SetCon(db::ConnectionPtr newCon);
    // Removes every criterion, row and row button.
    void UnSetGrdCriteria();
    // Adds one criterion (and, unless it is a "fact", its grid row). The type is kept trimmed
    // and in lower case. An initial value "select…" or "sql:…" is run on the data connection
    // first; when that fails the error is thrown and nothing is added.
    void AddCriteria(const QVariant& ID, const QString& Aciklama, const QString& Tip, const QString& InitialDeger,
        const QString& OptionalParam);
    // Collects every criterion's Value from its cell (fact: its initial value; htext: "";
    // date: "yyyymmdd").
    void PopulateCriteriaValues();
    // The criterion at Index (0-based, in the order added); nullptr outside the list.
    clsCriteriaPtr GetCriteriaArray(int Index) const;

    // ---- the template path ----
    QString SQLTxt() const { return m_sqlTxt; }
    void setSQLTxt(const QString& text) { m_sqlTxt = text; }
    // Replaces every criterion with those of SQLTxt's placeholders, in order. A placeholder
    // with fewer than five fields or a failing initial value throws; what was built until then
    // stays, with the grid disabled.
    void SetGrdCriteria();
    // SQLTxt with the values pasted in raw: the first placeholder of each criterion's ID, and
    // every "<$ID%>" reference present before the values went in. "" when a placeholder is not
    // closed or anything else fails.
    QString GetRunableSQL() const;

    // ---- the control's surface (for hosts laying it out and for tests) ----
    FlexGrid* grdCriteria() const { return m_grid; }
    QLineEdit* grdCriteriaText() const { return m_text; }
    QComboBox* grdCriteriaCombo() const { return m_combo; }
    QDateEdit* grdCriteriaDate() const { return m_date; }
    // Row button k (1-based, one per "button" criterion); nullptr outside.
    QToolButton* grdCriteriaButton(int k) const;
    int rowButtonCount() const { return int(m_buttons.size()); }
    // The editor laid over the current cell, or nullptr.
    QWidget* activeEditor() const { return m_activeEditor; }
    db::ConnectionPtr connection() const { return m_con; }
    // Where the control's messages (and its record pickers') go: the user interface of the
    // host that asks (not owned); nullptr, the default: the process's.
    void setUserInterface(UserInterface* ui) { m_ui = ui; }
    // The grid row of each data row's criterion index (row 1..), for tests.
    int criterionOfRow(int row) const;

    QSize sizeHint() const override;
    // The width that shows the longest caption and the longest value whole, at most maximum.
    int preferredWidth(int maximum) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // grid events
    void grdCriteria_EnterCell();
    void grdCriteria_LeaveCell();
    void grdCriteria_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void grdCriteria_Scroll();
    void grdCriteriaButton_Click(int index);
    // editor events
    bool editorKeyDown(QWidget* editor, int key, Qt::KeyboardModifiers modifiers);
    void editorLostFocus();
    // Puts the cell's text back into the active editor and hides it, writing nothing.
    void revertEditor();
    void onFocusChanged(QWidget* old, QWidget* now);

    void enterCell();
    void ShowEditor(bool setFocus);
    void placeEditor();
    void placeButton(int k);
    void RepositionButtons();
    void setColumnWidths();
    bool editorHasFocus() const;
    void reportError(const QString& description);
    QString cellText(int row) const;
    void setCellText(int row, const QString& text);

    FlexGrid* m_grid = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_combo = nullptr;
    QDateEdit* m_date = nullptr;
    QPointer<QCalendarWidget> m_calendar;
    std::vector<QToolButton*> m_buttons;   // row buttons 1.. (index 0 here is button 1)

    db::ConnectionPtr m_con;
    UserInterface* m_ui = nullptr;
    QString m_sqlTxt;
    qint16 m_criteriaCount = 0;
    std::vector<clsCriteriaPtr> m_criteria;   // always holds element 0
    std::vector<int> m_rowCriteria;           // grid row -> criterion index (index 0 unused)
    std::vector<int> m_buttonCriteria;        // row button -> criterion index (index 0 unused)

    QPointer<QWidget> m_activeEditor;
    int m_editorRow = -1;   // the row the active editor was shown over
    int m_rowHeight = 0;
};

}   // namespace orra
