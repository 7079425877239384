#pragma once
// What the administration dialogs share: the catalogue connection and database, bound
// statements, questions and messages through the process's user interface, and how a modal
// dialog is run (tests replace the runner, so that a dialog can be driven without a nested
// event loop).

#include "platform/db/Connection.h"
#include "platform/host/Error.h"

#include <QString>
#include <functional>

class QDialog;

namespace morvane::admin {

// The catalogue connection; throws orra::Error when there is none open.
orra::db::Connection& catalogue();
// The catalogue database as it is pasted before "..tbOrraSQL": the start-up's name of record,
// else the connection's current database.
QString catalogueDb();

// Runs sql with its bound values; the first column of the first row, or an invalid value.
QVariant scalar(const QString& sql, const QList<orra::db::Parameter>& params = {});
// Runs sql and returns its recordset (the first open row set), never null.
orra::db::RecordsetPtr rows(const QString& sql, const QList<orra::db::Parameter>& params = {});

// The message of an error as the boxes show it (the description alone).
void showError(const orra::Error& e);
void showError(const std::exception& e);
// A message box with an OK button and the default title.
void say(const QString& text);
// A Yes/No question; true for Yes.
bool ask(const QString& text, const QString& title);
// A Yes/No/Cancel question: orra::vbYes, orra::vbNo or orra::vbCancel.
int askYesNoCancel(const QString& text, const QString& title);

// A transaction on the catalogue connection that rolls back unless committed.
class Transaction {
public:
    Transaction();
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    bool m_open = false;
};

// Shows dialog modally and returns its result; by default QDialog::exec.
using ModalRunner = std::function<int(QDialog*)>;
int runModal(QDialog* dialog);
// Replaces the runner (null restores QDialog::exec); returns the previous one.
ModalRunner setModalRunner(ModalRunner runner);

}   // namespace morvane::admin
