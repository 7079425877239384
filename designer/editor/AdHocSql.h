#pragma once
// Ad-hoc SQL of the editor window and its result pane. F5 on a selection (and the query
// templates) hand SQL text to ExecuteEditorSQL, which runs it on the run connection of the
// window's debug run on the database layer's worker thread: the window goes on painting and
// taking keys, and nothing polls; the finished execution posts itself back to the window.
// Esc cancels the statement on the server (the connection stays usable).
//
// What came back is shown in the pane dbgTab: provider errors and informational messages in
// "Message", the rows in "Result", either as a grid (the first result set, read lazily by the
// view) or as text (every result set of the batch, appended a thousand rows at a time with the
// event loop running in between). A failed execution is shown as a failure: its errors in
// "Message", and that tab brought forward. The execution state is passed to the main window's
// "State" panel at every change: 2 "Executing...", 3 "Getting Results...", 4 "Canceling...",
// 0 "".

#include "platform/db/Connection.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QTableView;
class QTabWidget;

namespace orra {
class Error;
}

namespace morvane {

class frmOrraDevelopment;
class ResultGridModel;

// Where the window's ad-hoc SQL runs: the run connection of its debug run, and that run's
// substitution of parameter placeholders. Without a connection (no debug run) nothing runs.
struct AdHocRunSource {
    std::function<orra::db::ConnectionPtr()> connection;
    // The text with every "<$name%>" replaced by the run's value; isError is set when a
    // placeholder had no value (the text runs anyway).
    std::function<QString(const QString& sql, bool& isError)> runableSql;
};

class AdHocSql : public QObject {
    Q_OBJECT
public:
    enum State { Idle = 0, Executing = 2, GettingResults = 3, Canceling = 4 };
    // Rows of a text result appended per turn of the event loop.
    static constexpr long kTextChunk = 1000;

    explicit AdHocSql(frmOrraDevelopment* window);
    ~AdHocSql() override;

    void setRunSource(AdHocRunSource source) { m_source = std::move(source); }
    const AdHocRunSource& runSource() const { return m_source; }

    // Takes over the result pane's views once the window has made them: tab captions, the
    // grid's model and Ctrl+C, the text boxes' "Line" panel, the tab handler.
    void attachViews();

    void ExecuteEditorSQL(const QString& SQL);
    bool CancelEditorSQL();
    // Before the run connection is closed (debug mode stops): a running statement is cancelled
    // and waited for, nothing of it is shown, and the state returns to idle.
    void AbandonEditorSQL();
    QString GetRunableSQL(const QString& SQL);
    void ChangeResultStyle(const QString& NewStyle);
    void ShowHideResultPane(bool show);
    void dbgTab_Click();
    void SelectResultTab(const QString& key);
    // Ctrl+C in the grid: the selected block with its column names to the clipboard.
    void CopyGridBlock();

    int ExecutionState() const { return m_state; }
    ResultGridModel* gridModel() const { return m_model; }

signals:
    void ExecutionStateChanged(int state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setExecutionState(int state);
    void EditorSQLFinished();
    // Fills the pane from what the execution gave (rsdbg, the connection's error list, and the
    // failure when it threw); in text style it goes on in later turns of the event loop.
    void UpdateResultPane(
        orra::db::RecordsetPtr& rsdbg, const QList<orra::db::ProviderError>& errors, const orra::Error* failure);
    void clearViews();
    void appendText(const QString& text);
    // Text style: the result sets from the current one on, chunk by chunk.
    void nextTextPiece();
    void finishUpdate(bool errorOccurred);
    void restoreSplit();
    QString tabKey(int index) const;

    frmOrraDevelopment* m_window;
    AdHocRunSource m_source;
    int m_state = Idle;
    // The connection of the latest execution is held as long as its command, so that it
    // outlives the worker thread.
    orra::db::ConnectionPtr m_connection;
    std::unique_ptr<orra::db::AsyncExecution> m_command;
    ResultGridModel* m_model = nullptr;
    bool m_attached = false;

    // The text style's walk over the result sets.
    struct TextWalk {
        orra::db::RecordsetPtr rs;
        bool inRows = false;   // reading the rows of the current set
        long position = 0;     // offset of the next chunk from the set's first record
        long count = 0;        // RecordCount read before the rows
    };
    std::unique_ptr<TextWalk> m_walk;
};

}   // namespace morvane
