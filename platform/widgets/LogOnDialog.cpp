#include "platform/widgets/LogOnDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orra {

LogOnDialog::LogOnDialog(const LogOnRequest& request, QWidget* parent) : QDialog(parent), m_message(request.message)
{
    setWindowTitle(tr("SQL Server Login"));
    auto* layout = new QVBoxLayout(this);

    m_messageLabel = new QLabel(request.message, this);
    m_messageLabel->setObjectName(QStringLiteral("message"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setVisible(!request.message.isEmpty());
    layout->addWidget(m_messageLabel);

    auto* form = new QFormLayout;
    m_server = new QLineEdit(request.server, this);
    m_server->setObjectName(QStringLiteral("server"));
    form->addRow(tr("&Server:"), m_server);
    m_trusted = new QCheckBox(tr("Use &Trusted Connection"), this);
    m_trusted->setObjectName(QStringLiteral("trusted"));
    m_trusted->setChecked(request.trusted);
    form->addRow(QString(), m_trusted);
    m_login = new QLineEdit(request.login, this);
    m_login->setObjectName(QStringLiteral("login"));
    form->addRow(tr("&Login ID:"), m_login);
    m_password = new QLineEdit(request.password, this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(tr("&Password:"), m_password);
    m_database = new QLineEdit(request.database, this);
    m_database->setObjectName(QStringLiteral("database"));
    form->addRow(tr("&Database:"), m_database);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_trusted, &QCheckBox::toggled, this, &LogOnDialog::updateLoginFields);
    connect(m_server, &QLineEdit::textChanged, this,
        [buttons](const QString& s) { buttons->button(QDialogButtonBox::Ok)->setEnabled(!s.trimmed().isEmpty()); });
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!request.server.trimmed().isEmpty());
    updateLoginFields();

    // The first field that still needs an answer has the focus.
    if (request.server.isEmpty())
        m_server->setFocus();
    else if (!request.trusted && request.login.isEmpty())
        m_login->setFocus();
    else if (!request.trusted)
        m_password->setFocus();
}

void LogOnDialog::updateLoginFields()
{
    const bool sqlLogin = !m_trusted->isChecked();
    m_login->setEnabled(sqlLogin);
    m_password->setEnabled(sqlLogin);
}

LogOnRequest LogOnDialog::request() const
{
    LogOnRequest r;
    r.server = m_server->text().trimmed();
    r.database = m_database->text().trimmed();
    r.trusted = m_trusted->isChecked();
    if (!r.trusted) {
        r.login = m_login->text();
        r.password = m_password->text();
    }
    r.message = m_message;
    return r;
}

}   // namespace orra
