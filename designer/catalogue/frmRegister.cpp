#include "designer/catalogue/frmRegister.h"

#include "common/Connections.h"
#include "common/DataSources.h"
#include "common/StoredPassword.h"
#include "designer/catalogue/AdminSupport.h"
#include "platform/host/UserInterface.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace morvane {

frmRegister::frmRegister(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRegister"));
    setWindowTitle(QStringLiteral("Register Server"));
    auto* form = new QFormLayout;
    auto field = [&](const char* name, const QString& label) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        edit->setAccessibleName(label);
        auto* caption = new QLabel(label);
        caption->setBuddy(edit);
        form->addRow(caption, edit);
        return edit;
    };
    m_server = field("txtServer", QStringLiteral("Server"));
    m_ip = field("txtIP", QStringLiteral("IP"));
    m_database = field("txtDatabase", QStringLiteral("Database"));
    m_userName = field("txtUserName", QStringLiteral("User Name"));
    m_password = field("txtUserPwd", QStringLiteral("User Pwd"));
    m_password->setEchoMode(QLineEdit::Password);
    m_register = new QPushButton(QStringLiteral("Register"));
    m_register->setObjectName(QStringLiteral("cmdRegister"));
    m_register->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_register);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(m_register, &QPushButton::clicked, this, [this] { cmdRegister_Click(); });
    resize(360, 220);
}

bool frmRegister::cmdRegister_Click()
{
    if (m_server->text().isEmpty()) return false;
    const QString key = orra::userInterface().inputBox(QStringLiteral("Key:"), QStringLiteral("Key"), QString());
    if (key.isEmpty()) {
        admin::say(QStringLiteral("Please input a valid key"));
        return false;
    }
    if (key != orra::kStoredPasswordKey) {
        // A password stored under another key reads back as another password at run time:
        // the documents of this server could never log on.
        admin::say(QStringLiteral("This key is not the one with which the run-time library and the launcher read "
                                  "stored passwords, so documents could not log on to the server with this password. "
                                  "Nothing was registered; please input the registry's key."));
        return false;
    }
    if (!orra::SaveServerConnection(m_server->text(), m_ip->text(), m_database->text(), m_userName->text(),
            m_password->text(), key, orra::RegistryDatabase())) {
        admin::say(QStringLiteral("The server could not be registered: the connection registry could not be written."));
        return false;
    }
    admin::say(QStringLiteral("Server registered succesfully"));
    accept();
    return true;
}

void mnuFileRegisterServer_Click(QWidget* owner)
{
    frmRegister dialog(owner);
    admin::runModal(&dialog);
}

void mnuFileUnRegisterServer_Click()
{
    const QString name =
        orra::userInterface().inputBox(QStringLiteral("Please input Server Name that will be unregistered"),
            QStringLiteral("UnRegister Server"), QString());
    if (name.isEmpty()) return;
    try {
        const QString table = orra::RegistryDatabase() + QStringLiteral("..tbOrraConnections");
        if (admin::scalar(QStringLiteral("select count(*) from %1 where Server=?").arg(table), {name}).toLongLong()
            == 0) {
            admin::say(QStringLiteral("The server '%1' is not registered.").arg(name));
            return;
        }
    } catch (const orra::Error& e) {
        admin::showError(e);
        return;
    }
    if (!admin::ask(
            QStringLiteral("The server '%1' will be unregistered. Are you sure?").arg(name), QStringLiteral("Confirm")))
        return;
    if (orra::DeleteServerConnection(name, orra::RegistryDatabase()))
        admin::say(name + QStringLiteral(" Unregistered succesfully"));
    else
        admin::say(QStringLiteral("The server '%1' could not be unregistered.").arg(name));
}

}   // namespace morvane
