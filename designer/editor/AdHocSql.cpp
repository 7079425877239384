#include "designer/editor/AdHocSql.h"

#include "designer/editor/MainWindowLink.h"
#include "designer/editor/ResultGridModel.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/shell/ToolbarImages.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/Error.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextCursor>
#include <QTimer>

#include <optional>

namespace morvane {

namespace db = orra::db;

namespace {

const QString kResultInGrid = QStringLiteral("ResultInGrid");
const QString kResultInText = QStringLiteral("ResultInText");
// The driver's prefix that provider texts are shown without.
const QString kDriverPrefix = QStringLiteral("[Microsoft][ODBC SQL Server Driver][SQL Server]");
const QString kCrLf = QStringLiteral("\r\n");

// Columns start as wide as their name or the widest of their first rows, within limits.
constexpr int kSampledRows = 100;
constexpr int kMaxColumnWidth = 360;

}   // namespace

AdHocSql::AdHocSql(frmOrraDevelopment* window) : QObject(nullptr), m_window(window) {}

AdHocSql::~AdHocSql()
{
    // A running statement is cancelled and its thread joined before the window's views go.
    m_walk.reset();
    m_command.reset();
}

// ---------------------------------------------------------------------------------------------
// The pane's views.

void AdHocSql::attachViews()
{
    if (m_attached || !m_window->m_dbgTab || !m_window->m_dbgGrid) return;
    m_attached = true;
    QTabWidget* tab = m_window->m_dbgTab;
    // The "Result" tab has its design caption until the style is first changed.
    for (int i = 0; i < tab->count(); ++i) {
        if (tabKey(i) == QLatin1String("Result")) {
            tab->setTabText(i, QStringLiteral("Grids"));
            tab->setTabIcon(i, toolbarImage(QStringLiteral("Grid")));
        }
    }
    connect(tab, &QTabWidget::currentChanged, this, [this] { dbgTab_Click(); });

    QTableView* grid = m_window->m_dbgGrid;
    m_model = new ResultGridModel(grid);
    grid->setModel(m_model);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    // Row heights are fixed, so a million rows need no measuring.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->installEventFilter(this);

    m_window->m_dbgText->setUndoRedoEnabled(false);
    m_window->m_dbgMessage->setUndoRedoEnabled(false);
    for (QPlainTextEdit* box : {m_window->m_dbgMessage, m_window->m_dbgText, m_window->m_dbgTrace}) {
        // Read-only, but the caret moves and selects by keyboard too.
        box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        box->installEventFilter(this);
        connect(box, &QPlainTextEdit::cursorPositionChanged, this, [box] {
            // The caret line of the box the author is in; a box filled by the program while
            // the author works elsewhere leaves the panel to the box that has the focus.
            if (!box->hasFocus()) return;
            if (frmMDIMain* main = frmMDIMain::instance()) main->UpdatePanelLine(box);
        });
    }
}

QString AdHocSql::tabKey(int index) const { return m_window->m_dbgTab->tabBar()->tabData(index).toString(); }

bool AdHocSql::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window->m_dbgGrid && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers shift =
            key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (key->key() == Qt::Key_C && shift == Qt::ControlModifier) {
            CopyGridBlock();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut
        && (watched == m_window->m_dbgMessage || watched == m_window->m_dbgText || watched == m_window->m_dbgTrace)) {
        MainWindowLink().SetPanelText(QStringLiteral("Line"), QString());
    }
    return QObject::eventFilter(watched, event);
}

void AdHocSql::dbgTab_Click()
{
    QTabWidget* tab = m_window->resultPane();
    const QString key = tabKey(tab->currentIndex());
    QPlainTextEdit* text = m_window->m_dbgText;
    QTableView* grid = m_window->m_dbgGrid;
    // The message and trace boxes are pages of the tab strip: they show when their tab does.
    if (key == QLatin1String("Result")) {
        if (m_window->m_resultStyle == kResultInText) {
            text->setVisible(true);
            grid->setVisible(false);
        } else if (m_window->m_resultStyle == kResultInGrid) {
            text->setVisible(false);
            grid->setVisible(true);
        }
    } else if (key == QLatin1String("Message")) {
        text->setVisible(false);
        grid->setVisible(false);
        m_window->m_dbgMessage->setVisible(true);
    } else if (key == QLatin1String("Trace")) {
        text->setVisible(false);
        grid->setVisible(false);
        m_window->m_dbgTrace->setVisible(true);
    }
}

void AdHocSql::SelectResultTab(const QString& key)
{
    QTabWidget* tab = m_window->resultPane();
    for (int i = 0; i < tab->count(); ++i) {
        if (tabKey(i) == key) {
            if (tab->currentIndex() == i)
                dbgTab_Click();
            else
                tab->setCurrentIndex(i);   // its handler runs
            return;
        }
    }
}

void AdHocSql::ChangeResultStyle(const QString& NewStyle)
{
    QTabWidget* tab = m_window->resultPane();
    m_window->m_resultStyle = NewStyle;
    const bool text = NewStyle == kResultInText;
    if (!text && NewStyle != kResultInGrid) return;
    for (int i = 0; i < tab->count(); ++i) {
        if (tabKey(i) == QLatin1String("Result")) {
            tab->setTabText(i, text ? QStringLiteral("Text") : QStringLiteral("Grids"));
            tab->setTabIcon(i, toolbarImage(text ? QStringLiteral("Text") : QStringLiteral("Grid")));
        }
    }
    // The new style's view takes the "Result" page whatever tab is selected; what it shows
    // comes with the next execution.
    if (m_window->m_resultPaneVisible) {
        m_window->m_dbgText->setVisible(text);
        m_window->m_dbgGrid->setVisible(!text);
    }
}

void AdHocSql::ShowHideResultPane(bool show)
{
    QTabWidget* tab = m_window->resultPane();
    // The toolbar button is the active window's: a window in the background that shows its
    // pane leaves it alone (its activation sets it).
    QWidget* active = activeChildWindow();
    if (!active || active == m_window)
        MainWindowLink().SetToolbarButtonValue(QStringLiteral("ShowResultPane"), show ? 1 : 0);
    const bool wasVisible = !tab->isHidden();
    m_window->m_resultPaneVisible = show;
    tab->setVisible(show);
    if (QSplitter* splitter = m_window->m_splitter; splitter && splitter->count() > 1)
        splitter->handle(1)->setVisible(show);   // imgSplitterYatay goes with the pane
    if (show && !wasVisible) restoreSplit();
    m_window->m_dbgGrid->setVisible(false);
    m_window->m_dbgText->setVisible(false);
    if (show) dbgTab_Click();
}

// The pane comes back at the remembered split position.
void AdHocSql::restoreSplit()
{
    QSplitter* splitter = m_window->m_splitter;
    if (!splitter || splitter->count() < 2) return;
    const int total = splitter->height() - splitter->handleWidth();
    if (total <= 0) return;
    int top = m_window->m_resultPaneTop > 0 ? m_window->m_resultPaneTop : total * 3 / 4;
    top = qBound(1, top, qMax(1, total - 1));
    splitter->setSizes({top, total - top});
}

void AdHocSql::CopyGridBlock()
{
    QTableView* grid = m_window->m_dbgGrid;
    if (!m_model || m_model->columnCount() == 0) return;
    int r1 = -1, c1 = -1, r2 = -1, c2 = -1;
    const QItemSelection selection = grid->selectionModel() ? grid->selectionModel()->selection() : QItemSelection();
    for (const QItemSelectionRange& range : selection) {
        if (r1 < 0 || range.top() < r1) r1 = range.top();
        if (c1 < 0 || range.left() < c1) c1 = range.left();
        r2 = qMax(r2, range.bottom());
        c2 = qMax(c2, range.right());
    }
    if (r1 < 0) {
        // No block: the current cell alone.
        const QModelIndex current = grid->currentIndex();
        if (!current.isValid()) return;
        r1 = r2 = current.row();
        c1 = c2 = current.column();
    }
    QApplication::clipboard()->setText(m_model->blockText(r1, c1, r2, c2));
}

// ---------------------------------------------------------------------------------------------
// Execution.

void AdHocSql::setExecutionState(int state)
{
    m_state = state;
    if (frmMDIMain* main = frmMDIMain::instance()) main->SetState(state);
    emit ExecutionStateChanged(state);
}

QString AdHocSql::GetRunableSQL(const QString& SQL)
{
    bool isError = false;
    if (!m_source.runableSql) return SQL;
    try {
        return m_source.runableSql(SQL, isError);
    } catch (const orra::Error&) {
        // The run could not substitute (it has said why when it shows its errors): the text
        // goes on as it is.
        return SQL;
    }
}

void AdHocSql::ExecuteEditorSQL(const QString& SQL)
{
    // One execution at a time per window: F5 again while one runs does nothing.
    if (m_state != Idle) return;
    setExecutionState(Executing);
    m_window->resultPane();
    m_command.reset();
    m_connection.reset();

    db::ConnectionPtr con = m_source.connection ? m_source.connection() : nullptr;
    if (!con || !con->isOpen()) {
        // No run connection (outside debug mode): nothing runs; the pane is cleared.
        clearViews();
        setExecutionState(Idle);
        return;
    }
    const QString text = GetRunableSQL(SQL);   // whether every placeholder had a value is not asked
    con->clearErrors();
    m_connection = con;
    try {
        // The worker thread posts the end of the execution to this object's thread.
        m_command = con->executeAsync(text, {}, [this] {
            QMetaObject::invokeMethod(
                this, [this] { EditorSQLFinished(); }, Qt::QueuedConnection);
        });
    } catch (const orra::Error& e) {
        setExecutionState(GettingResults);
        db::RecordsetPtr none;
        UpdateResultPane(none, con->errors(), &e);
    }
}

bool AdHocSql::CancelEditorSQL()
{
    if (m_state != Executing || !m_command || !m_command->isRunning()) return false;
    setExecutionState(Canceling);
    // The backend's cancel stops the statement on the server; what it reported up to then is
    // shown when the execution's end arrives.
    m_command->cancel();
    setExecutionState(GettingResults);
    return true;
}

void AdHocSql::AbandonEditorSQL()
{
    m_walk.reset();
    m_command.reset();   // cancels a running statement and joins its thread
    m_connection.reset();
    if (m_state != Idle) setExecutionState(Idle);
}

void AdHocSql::EditorSQLFinished()
{
    if (!m_command || m_command->isRunning()) return;
    if (m_state != Executing && m_state != GettingResults) return;
    setExecutionState(GettingResults);
    db::RecordsetPtr rs;
    std::optional<orra::Error> failure;
    try {
        rs = m_command->result();
    } catch (const orra::Error& e) {
        failure = e;
    } catch (const std::exception& e) {
        failure = orra::Error(orra::kSystemError, QStringLiteral("ExecuteEditorSQL"), QString::fromLocal8Bit(e.what()));
    }
    const QList<db::ProviderError> errors = m_connection ? m_connection->errors() : QList<db::ProviderError>();
    UpdateResultPane(rs, errors, failure ? &*failure : nullptr);
}

void AdHocSql::clearViews()
{
    m_window->m_dbgMessage->setPlainText(QString());
    if (m_model) m_model->setRecordset(nullptr);
}

void AdHocSql::UpdateResultPane(
    db::RecordsetPtr& rsdbg, const QList<db::ProviderError>& errors, const orra::Error* failure)
{
    try {
        clearViews();
        QString message;
        bool errorOccurred = false;
        for (const db::ProviderError& e : errors) {
            const QString description = QString(e.description).remove(kDriverPrefix);
            if (e.number != 0) {
                message += QString::number(e.number) + QStringLiteral(":") + kCrLf + description + kCrLf + kCrLf;
                errorOccurred = true;
            } else {
                message += kCrLf + description + kCrLf + kCrLf;
            }
        }
        // An execution that failed without a provider error in the list is a failure too.
        if (failure && !errorOccurred) {
            message += QString::number(failure->number()) + QStringLiteral(":") + kCrLf
                + QString(failure->description()).remove(kDriverPrefix) + kCrLf + kCrLf;
            errorOccurred = true;
        }
        m_window->m_dbgMessage->setPlainText(message);
        // After an error no rows are shown, even those of statements before it.
        if (errorOccurred || !rsdbg) {
            finishUpdate(errorOccurred);
            return;
        }
        if (m_window->m_resultStyle == kResultInGrid) {
            // The first result set that returns rows (a leading statement without rows, such
            // as an update, has nothing for the grid).
            while (!rsdbg->isOpen() && rsdbg->NextRecordset()) {
            }
            m_model->setRecordset(rsdbg);
            QTableView* grid = m_window->m_dbgGrid;
            const QFontMetrics metrics = grid->fontMetrics();
            for (int c = 0; c < m_model->columnCount(); ++c) {
                int width = metrics.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString());
                for (int r = 0; r < qMin(kSampledRows, m_model->rowCount()); ++r)
                    width = qMax(width, metrics.horizontalAdvance(m_model->cellText(r, c)));
                grid->setColumnWidth(c, qMin(width + 16, kMaxColumnWidth));
            }
            finishUpdate(false);
        } else if (m_window->m_resultStyle == kResultInText) {
            m_window->m_dbgText->setPlainText(QString());
            m_walk = std::make_unique<TextWalk>();
            m_walk->rs = rsdbg;
            rsdbg.reset();
            nextTextPiece();
        } else {
            finishUpdate(false);
        }
    } catch (...) {
        // A failure here abandons the rest of the update; the state still returns to idle.
        m_walk.reset();
        setExecutionState(Idle);
    }
}

void AdHocSql::appendText(const QString& text)
{
    QTextCursor cursor(m_window->m_dbgText->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

void AdHocSql::nextTextPiece()
{
    if (!m_walk) return;
    try {
        TextWalk& w = *m_walk;
        for (;;) {
            db::Recordset& rs = *w.rs;
            if (!w.inRows) {
                if (rs.state() != 0) {
                    QString header;
                    for (int i = 0; i < rs.fieldCount(); ++i) header += rs.field(i).name + QLatin1Char('\t');
                    appendText(header + kCrLf);
                    w.count = rs.RecordCount();
                    w.position = 0;
                    w.inRows = w.count > 0;
                    if (!w.inRows) appendText(QString(35, QLatin1Char('-')) + kCrLf);
                }
            }
            if (w.inRows) {
                if (!rs.isEOF()) {
                    appendText(rs.GetString(QStringLiteral("\t"), kCrLf, QStringLiteral("NULL"), kTextChunk));
                    w.position += kTextChunk;
                    if (w.position <= w.count && (rs.Move(w.position, db::Recordset::FromFirst), !rs.isEOF())) {
                        // The window paints and takes keys before the next chunk.
                        QTimer::singleShot(0, this, [this] { nextTextPiece(); });
                        return;
                    }
                }
                w.inRows = false;
                appendText(QString(35, QLatin1Char('-')) + kCrLf);
            }
            // A statement without rows adds nothing; then the next result set of the batch.
            if (!rs.NextRecordset()) break;
        }
        m_walk.reset();
        finishUpdate(false);
    } catch (...) {
        m_walk.reset();
        setExecutionState(Idle);
    }
}

void AdHocSql::finishUpdate(bool errorOccurred)
{
    SelectResultTab(QStringLiteral("Result"));
    if (errorOccurred) SelectResultTab(QStringLiteral("Message"));
    ShowHideResultPane(true);
    setExecutionState(Idle);
}

}   // namespace morvane
