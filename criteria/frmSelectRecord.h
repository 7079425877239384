#pragma once
// The single-row record picker: the rows of a query in a grid; OK hands back the chosen row's
// value of ReturnField (and of up to two further fields).
//
// Use: set the members, the window title, call exec(); read IsOK and ReturnValue.

#include "platform/db/Connection.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QVariant>

class QPushButton;
class QTableWidget;

namespace orra {

class UserInterface;

class frmSelectRecord : public QDialog {
    Q_OBJECT
public:
    explicit frmSelectRecord(QWidget* parent = nullptr);

    // ---- public members, in interface order ----
    QString RsSQL;          // the query that gives the rows
    bool IsOK = false;      // closed with OK on a chosen row
    QString ReturnField;    // the field whose value is returned
    QVariant ReturnValue;   // in: the current value (selects its row); out: the chosen value
    QString OptField1;      // optional second field ("" = none)
    QVariant OptField1Val;
    QString OptField2;   // optional third field
    QVariant OptField2Val;
    db::ConnectionPtr frmCon;   // the connection RsSQL runs on (lent)

    // Width of field Index in twips: below 0 hides the column, 0 sizes it to its contents.
    // Takes effect when the rows are next read.
    void SetFieldWidth(int Index, int Width);

    // Reads the rows and shows the picker modally. A failing query is shown in a message box
    // and the picker closes at once with IsOK False.
    int exec() override;

    // Where its messages go (not owned); nullptr, the default: the process's user interface.
    void setUserInterface(UserInterface* ui) { m_ui = ui; }

    QTableWidget* dg() const { return m_dg; }
    QPushButton* cmdOk() const { return m_ok; }
    QPushButton* cmdCancel() const { return m_cancel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Form_Activate();
    void cmdOk_Click();
    void cmdCancel_Click();
    int columnKeyed(const QString& key) const;

    QTableWidget* m_dg = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QList<int> m_fieldWidths{0};
    UserInterface* m_ui = nullptr;
};

}   // namespace orra
