#pragma once
// Registration of data-source servers: the dialog "Register Server" stores one row of the
// connection registry (the password in its stored form), UnRegisterServer deletes the row of
// a server named by the user after a question. Both act on the registry that the run-time
// library and the launcher read (orra::RegistryDatabase()), so that a registered server is the
// one the documents run on, and the stored password is accepted only under the key with which
// those readers decode it.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace morvane {

class frmRegister : public QDialog {
    Q_OBJECT
public:
    explicit frmRegister(QWidget* parent = nullptr);

    QLineEdit* txtServer() const { return m_server; }
    QLineEdit* txtIP() const { return m_ip; }
    QLineEdit* txtDatabase() const { return m_database; }
    QLineEdit* txtUserName() const { return m_userName; }
    QLineEdit* txtUserPwd() const { return m_password; }
    QPushButton* cmdRegister() const { return m_register; }

    // Stores the row; true when it was written (the dialog then closes).
    bool cmdRegister_Click();

private:
    QLineEdit* m_server = nullptr;
    QLineEdit* m_ip = nullptr;
    QLineEdit* m_database = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_register = nullptr;
};

// File > Register Server: the dialog, modal over owner.
void mnuFileRegisterServer_Click(QWidget* owner);
// File > UnRegister Server: asks the server's name, confirms, deletes its row.
void mnuFileUnRegisterServer_Click();

}   // namespace morvane
