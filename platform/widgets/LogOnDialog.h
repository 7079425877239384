#pragma once
// The log-on dialog: server, database, trusted log-on or login and password. It stands where
// the database driver's own log-on dialog stood; connections reach it through
// UserInterface::logOn, so headless runs and tests can answer instead.

#include "platform/host/UserInterface.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orra {

class LogOnDialog : public QDialog {
    Q_OBJECT
public:
    explicit LogOnDialog(const LogOnRequest& request, QWidget* parent = nullptr);

    // The request as filled in (the message is kept).
    LogOnRequest request() const;

private:
    void updateLoginFields();

    QString m_message;
    QLabel* m_messageLabel = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_database = nullptr;
    QCheckBox* m_trusted = nullptr;
    QLineEdit* m_login = nullptr;
    QLineEdit* m_password = nullptr;
};

}   // namespace orra
