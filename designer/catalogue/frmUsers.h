#pragma once
// The users picker "Users": every principal of the catalogue database's sysusers (login users
// and roles) in the grid fgUsers (columns uid, name, Type); Ok returns the current row, Cancel
// and the window's close box return nothing. The form only hides itself; the caller reads
// IsOk, UserId, UserName and IsLogin and then deletes it.

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace morvane {

class frmUsers : public QDialog {
    Q_OBJECT
public:
    explicit frmUsers(QWidget* parent = nullptr);

    bool IsOk = false;
    long UserId = 0;
    QString UserName;
    bool IsLogin = false;

    QTableWidget* fgUsers() const { return m_grid; }
    void cmdOK_Click();
    void cmdCancel_Click();

public:
    // Closing: the window's close box, Esc.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Fill();

    QTableWidget* m_grid = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}   // namespace morvane
