#pragma once
// The properties and permissions dialog "Properties" of one catalogue category or document.
// Page "General": the owner's login (txtOwner) and the Disabled flag (chcDisabled), written at
// once together with the row's checksum. Page "Security": the principals that have a permission
// row on the object (lvUsers, roles first) and, for the selected one, the Allow and Deny boxes
// of the ten rights (fgPermissions); Add picks a principal from the users picker, Remove deletes
// a principal's row after a question, Apply writes every principal whose boxes were changed,
// each row with its checksum, in one transaction.
//
// Edits are kept per principal until they are applied: selecting another principal or another
// page keeps them, and closing the dialog with edits not yet applied asks whether to apply them.
// A permission row whose stored checksum does not match its values is shown as tampered (the
// principal in red, the checksum message under the grid) until it is applied again.

#include <QDialog>
#include <QHash>
#include <QPair>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace morvane {

class frmProperties : public QDialog {
    Q_OBJECT
public:
    explicit frmProperties(QWidget* parent = nullptr);

    // Set by the opener before the dialog is shown; IsDisabled is read back afterwards.
    long ObjectID = 0;
    bool IsCategory = false;
    bool IsDisabled = false;

    // The rights in the grid's order: label and bit.
    static const QList<QPair<QString, long>>& Rights();

    QTabWidget* CTabMain() const { return m_tabs; }
    QCheckBox* chcDisabled() const { return m_disabled; }
    QLineEdit* txtOwner() const { return m_owner; }
    QListWidget* lvUsers() const { return m_users; }
    QTableWidget* fgPermissions() const { return m_grid; }
    QPushButton* cmdAdd() const { return m_add; }
    QPushButton* cmdRemove() const { return m_remove; }
    QPushButton* cmdApply() const { return m_apply; }
    QLabel* lblCheckSum() const { return m_checksumNote; }

    // Fills every control from the catalogue (runs once, when the dialog is first shown).
    void Activate();
    // The sum of the bits whose box is checked in grid column 1 (Allow) or 2 (Deny).
    long PermissionMask(int column) const;
    // May the cell (row 1..10, column 1..2, as the grid counts with its header) be edited?
    bool CanEditCell(int row, int column) const;
    // Sets a box as the user does (with the rule's follow-up boxes); false when not editable.
    bool ClickCell(int row, int column);
    // Selects the listed principal uid (its rights, or its unapplied edits, fill the grid).
    bool SelectPrincipal(long uid);
    long SelectedPrincipal() const;
    bool IsTampered(long uid) const;
    bool HasUnappliedEdits() const { return !m_pending.isEmpty(); }

    // Writes the rows of every principal with unapplied edits in one transaction; false (after
    // a message, nothing written, the edits kept) on a failure.
    bool cmdApply_Click();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void chcDisabled_Click();

public:
    // Closing: the window's close box, Esc.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString objectTable() const;
    QString permissionTable() const;
    QString idColumn() const;
    void ListPrincipals();
    void LoadPrincipalRights(long uid);
    void showMasks(long allow, long deny);
    void applyCellRules(int row, int column, bool checked);
    void cellChanged(QTableWidgetItem* item);
    void principalChanged(QListWidgetItem* current);
    void setCellEditable(int row, int column, bool editable);
    void refreshCellStates();
    void markTampered(QListWidgetItem* item, bool tampered);
    QListWidgetItem* itemOf(long uid) const;
    bool mayClose();
    QString tamperMessage(long uid) const;

    QTabWidget* m_tabs = nullptr;
    QCheckBox* m_disabled = nullptr;
    QLineEdit* m_owner = nullptr;
    QListWidget* m_users = nullptr;
    QTableWidget* m_grid = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_apply = nullptr;
    QLabel* m_checksumNote = nullptr;

    bool m_activated = false;
    bool m_filled = false;
    bool m_filling = false;
    bool m_mayManage = false;
    bool m_canChange = false;
    bool m_loginIsOwner = false;
    QHash<long, QPair<long, long>> m_pending;   // uid -> (allow, deny) not yet applied
    QHash<long, bool> m_tampered;
};

}   // namespace morvane
