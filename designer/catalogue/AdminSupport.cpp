#include "designer/catalogue/AdminSupport.h"

#include "common/Connections.h"
#include "designer/shell/DesignerState.h"
#include "platform/host/UserInterface.h"

#include <QDialog>

namespace morvane::admin {

namespace {
ModalRunner& runner()
{
    static ModalRunner r;
    return r;
}
}   // namespace

orra::db::Connection& catalogue()
{
    const orra::db::ConnectionPtr con = orra::mainConnection();
    if (!con || !con->isOpen())
        throw orra::Error(
            -1, QStringLiteral("Morvane"), QStringLiteral("There is no open connection to the catalogue."));
    return *con;
}

QString catalogueDb()
{
    const QString recorded = catalogueDatabaseName();
    return recorded.isEmpty() ? catalogue().property(QStringLiteral("Current Catalog")) : recorded;
}

orra::db::RecordsetPtr rows(const QString& sql, const QList<orra::db::Parameter>& params)
{
    orra::db::RecordsetPtr rs = catalogue().execute(sql, params);
    while (rs && !rs->isOpen())
        if (!rs->NextRecordset()) break;
    if (!rs) rs = std::make_shared<orra::db::Recordset>();
    return rs;
}

QVariant scalar(const QString& sql, const QList<orra::db::Parameter>& params)
{
    orra::db::RecordsetPtr rs = rows(sql, params);
    if (!rs->isOpen() || rs->isEOF()) return QVariant();
    return rs->value(0);
}

void showError(const orra::Error& e) { orra::userInterface().messageBox(e.description(), orra::vbOKOnly); }
void showError(const std::exception& e)
{
    orra::userInterface().messageBox(QString::fromLocal8Bit(e.what()), orra::vbOKOnly);
}

void say(const QString& text) { orra::userInterface().messageBox(text, orra::vbOKOnly); }

bool ask(const QString& text, const QString& title)
{
    return orra::userInterface().messageBox(text, orra::vbYesNo | orra::vbQuestion, title) == orra::vbYes;
}

int askYesNoCancel(const QString& text, const QString& title)
{
    return orra::userInterface().messageBox(text, orra::vbYesNoCancel | orra::vbQuestion, title);
}

Transaction::Transaction()
{
    catalogue().beginTrans();
    m_open = true;
}

Transaction::~Transaction()
{
    if (!m_open) return;
    try {
        catalogue().rollbackTrans();
    } catch (...) {
        // The connection is gone; nothing is left to undo.
    }
}

void Transaction::commit()
{
    catalogue().commitTrans();
    m_open = false;
}

int runModal(QDialog* dialog)
{
    if (runner()) return runner()(dialog);
    return dialog->exec();
}

ModalRunner setModalRunner(ModalRunner r)
{
    ModalRunner previous = std::move(runner());
    runner() = std::move(r);
    return previous;
}

}   // namespace morvane::admin
