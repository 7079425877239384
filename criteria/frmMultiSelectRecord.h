#pragma once
// The multi-row record picker: the rows of a query in a list with one column per field; any
// number of rows can be chosen, and OK hands back their ReturnField values as a comma list.
//
// Use: set the members, the window title, call exec() (which reads the rows first and throws
// orra::Error when they cannot be read); read IsOK and ReturnValue.

#include "platform/db/Connection.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QVariant>

class QPushButton;
class QTimer;
class QTreeWidget;

namespace orra {

class frmMultiSelectRecord : public QDialog {
    Q_OBJECT
public:
    explicit frmMultiSelectRecord(QWidget* parent = nullptr);

    // ---- public members, in interface order ----
    QString RsSQL;
    bool IsOK = false;
    QString ReturnField;            // the field whose values are returned
    QVariant ReturnValue;           // in: comma list of the current values; out: the chosen ones
    QString OptionalField1;         // the name of an extra column whose values are returned too
    QVariant OptionalField1Value;   // out: its comma list
    QString OptionalField2;         // the number of an extra column
    QVariant OptionalField2Value;   // out: its comma list
    db::ConnectionPtr frmCon;       // the connection RsSQL runs on (lent)
    bool OnTimer = false;           // type-ahead state (unused)
    QString FindKey;

    // Width of field Index in twips: below 0 hides the column, 0 sizes it to the first row's
    // value. Applies at once to a column that exists.
    void SetFieldWidth(int Index, int Width);

    // Reads the rows, then shows the picker modally. Throws orra::Error when the query fails,
    // lacks ReturnField or gives NULL in it; the picker is then not shown.
    int exec() override;

    QTreeWidget* lv() const { return m_lv; }
    QPushButton* cmdOk() const { return m_ok; }
    QPushButton* cmdCancel() const { return m_cancel; }
    QPushButton* cmdClear() const { return m_clear; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void lv_ColumnClick(int section);
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdClear_Click();
    int columnKeyed(const QString& key) const;
    int fieldOfColumn(int column) const;

    QTreeWidget* m_lv = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_clear = nullptr;
    QTimer* m_timer = nullptr;
    QList<int> m_fieldWidths{0};
    QList<int> m_columnField;   // list column -> field index
    QString m_lastSortKey;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

}   // namespace orra
