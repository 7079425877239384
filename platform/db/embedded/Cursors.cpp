#include "platform/db/embedded/Cursors.h"

#include "platform/db/embedded/BatchErrors.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/translator/Rewriting.h"

#include <sqlite3.h>

// The cursors of a session: declared with their select and the values of the variables it
// reads, given their rows when they open (a temporary table of the server's own), fetched
// from in any direction a scrolling cursor allows, closed and deallocated. Local cursors end
// with their batch or procedure, global ones with the connection.

namespace orra::embedded {

using db::ResultSet;

namespace {

const QString kState = QStringLiteral("42000");

std::vector<StoredValue> copiedValues(const std::vector<StoredValue>& values)
{
    std::vector<StoredValue> copy;
    copy.reserve(values.size());
    for (const StoredValue& v : values) copy.emplace_back(v ? sqlite3_value_dup(v.get()) : nullptr);
    return copy;
}

// CURSOR_STATUS of a cursor: 1 open with rows (a cursor that is not static may have any
// number), 0 open and empty, -1 closed, -2 a cursor variable given no cursor.
int statusOf(const Cursor& c)
{
    if (!c.assigned) return -2;
    if (!c.isOpen()) return -1;
    return !c.isStatic || c.rows > 0 ? 1 : 0;
}

}   // namespace

void EmbeddedBackend::runCursorStatement(const CursorStatement& st, Run& run)
{
    using K = CursorStatement::Kind;
    if (st.kind == K::DeclareVariable) {
        auto c = std::make_shared<Cursor>();
        c->written = st.written;
        c->assigned = false;
        if (auto old = run.cursors.find(st.name); old != run.cursors.end() && old->second->isOpen())
            closeCursor(*old->second);
        run.cursors[st.name] = std::move(c);
        return;
    }
    if (st.kind == K::Declare) {
        const bool variable = st.name.startsWith(u'@');
        CursorMap& scope = st.global ? m_globalCursors : run.cursors;
        if (const auto taken = scope.find(st.name); taken != scope.end()) {
            if (!variable)
                raise(kState, QStringLiteral("A cursor with the name '%1' already exists.").arg(st.written), 16915);
            if (taken->second->isOpen()) closeCursor(*taken->second);   // the variable takes a new cursor
        }
        auto c = std::make_shared<Cursor>();
        c->written = st.written;
        c->scroll = st.scroll;
        c->isStatic = st.isStatic;
        c->select = st.select;
        c->values = copiedValues(run.variables);
        scope[st.name] = std::move(c);
        run.rowCount = 1;
        return;
    }
    const std::shared_ptr<Cursor> cursor = cursorNamed(st, run);
    switch (st.kind) {
    case K::Open:
        if (cursor->isOpen()) raise(kState, QStringLiteral("The cursor is already open."), 16905);
        openCursor(*cursor, run);
        m_lastOpened = cursor;
        break;
    case K::Fetch:
        fetchCursor(st, *cursor, run);
        break;
    case K::Close:
        if (!cursor->isOpen()) raise(kState, QStringLiteral("Cursor is not open."), 16917);
        closeCursor(*cursor);
        run.rowCount = 0;
        break;
    case K::Deallocate: {
        if (cursor->isOpen()) closeCursor(*cursor);
        CursorMap& scope = !st.global && run.cursors.count(st.name) ? run.cursors : m_globalCursors;
        if (st.name.startsWith(u'@'))   // the variable stays, with no cursor
            scope[st.name] = std::make_shared<Cursor>(Cursor{.written = st.written, .assigned = false});
        else
            scope.erase(st.name);
        run.rowCount = 0;
        break;
    }
    default:
        break;
    }
}

// The cursor a statement names: the batch's own of that name unless global is written, else
// the connection's.
std::shared_ptr<Cursor> EmbeddedBackend::cursorNamed(const CursorStatement& st, Run& run)
{
    if (!st.global)
        if (const auto local = run.cursors.find(st.name); local != run.cursors.end()) {
            if (!local->second->assigned)
                raise(kState,
                    QStringLiteral("The variable '%1' does not currently have a cursor allocated to it.").arg(st.written),
                    16950);
            return local->second;
        }
    if (const auto global = m_globalCursors.find(st.name); global != m_globalCursors.end()) return global->second;
    raise(kState, QStringLiteral("A cursor with the name '%1' does not exist.").arg(st.written), 16916);
}

// The select runs with the values its variables had when the cursor was declared; its rows
// go into a temporary table, numbered in the select's order.
void EmbeddedBackend::openCursor(Cursor& cursor, Run& run)
{
    const QString table = QStringLiteral("temp.") + translator::quoteName(QStringLiteral("orra cursor %1").arg(++m_cursorTables));
    QStringList columns;
    {
        sqlite3_stmt* sel = prepare(cursor.select.sql);
        if (!sel) raise(kState, QStringLiteral("The cursor's select cannot run."), 16937);
        for (int i = 0; i < sqlite3_column_count(sel); ++i) columns << QString::fromUtf8(sqlite3_column_name(sel, i));
    }
    for (const int c : cursor.select.unnamedColumns)
        if (c < columns.size()) columns[c].clear();
    SqlStatement copy = cursor.select;
    copy.intoTable = table;
    Run rows;
    static const QList<db::Parameter> none;
    rows.params = run.params ? run.params : &none;
    rows.variables = copiedValues(cursor.values);
    Run* const outer = std::exchange(m_run, &rows);
    try {
        cursor.rows = runSelectInto(copy, rows, true);
    } catch (...) {
        m_run = outer;
        const SessionRights::Trusted trusted(m_rights);
        sqlite3_exec(m_db, ("drop table if exists " + table).toUtf8().constData(), nullptr, nullptr, nullptr);
        throw;
    }
    m_run = outer;
    cursor.table = table;
    cursor.columns = columns;
    cursor.position = 0;
}

void EmbeddedBackend::fetchCursor(const CursorStatement& st, Cursor& cursor, Run& run)
{
    using D = CursorStatement::Direction;
    if (!cursor.isOpen()) raise(kState, QStringLiteral("Cursor is not open."), 16917);
    if (st.direction != D::Next && !cursor.scroll)
        raise(kState,
            QStringLiteral("fetch: The fetch type %1 cannot be used with forward only cursors.").arg(st.directionWord),
            16911);
    if (st.into && st.targets.size() != size_t(cursor.columns.size()))
        raise(kState,
            QStringLiteral("Cursorfetch: The number of variables declared in the INTO list must match that of selected "
                           "columns."),
            16924);
    long n = 0;
    if (!st.offset.isEmpty()) {
        sqlite3_stmt* q = prepare(st.offset);
        const StatementReset reset(q);
        bindParameters(q, run);
        if (sqlite3_step(q) != SQLITE_ROW) m_session.raise(sqlite3_errcode(m_db));
        n = long(sqlite3_column_int64(q, 0));
    }
    const long rows = cursor.rows;
    long& at = cursor.position;
    switch (st.direction) {
    case D::Next:
        at = std::min(at + 1, rows + 1);
        break;
    case D::Prior:
        at = std::max(at - 1, 0L);
        break;
    case D::First:
        at = rows > 0 ? 1 : 0;
        break;
    case D::Last:
        at = rows > 0 ? rows : rows + 1;
        break;
    case D::Absolute:
        at = n > 0 ? std::min(n, rows + 1) : n < 0 ? std::max(rows + 1 + n, 0L) : 0;
        break;
    case D::Relative:
        // on the first fetch, no row lies before the start
        if (at == 0 && n <= 0) break;
        at = std::clamp(at + n, 0L, rows + 1);
        break;
    }
    const bool found = at >= 1 && at <= rows;
    m_fetchStatus = found ? 0 : -1;
    QStringList list;
    for (qsizetype c = 0; c < cursor.columns.size(); ++c) {
        QString column = QStringLiteral("c%1").arg(c + 1);
        if (!st.into) column += QStringLiteral(" as ") + translator::quoteName(cursor.columns[c]);
        list << column;
    }
    const QString sql = QStringLiteral("select %1 from %2 where rowid = %3")
                            .arg(list.join(QStringLiteral(", ")), cursor.table)
                            .arg(found ? at : 0);
    if (!st.into) {   // the row as a result set of its own (none past either end)
        SqlStatement row;
        row.sql = sql;
        row.returnsRows = true;
        row.columnTypes = cursor.select.columnTypes;
        row.unnamedColumns = cursor.select.unnamedColumns;
        const ForgetStatement forget{*this, sql};
        const SessionRights::Trusted trusted(m_rights);
        runSql(row, run);
    } else if (found) {
        std::vector<StoredValue> values;
        {
            const ForgetStatement forget{*this, sql};
            const SessionRights::Trusted trusted(m_rights);
            sqlite3_stmt* q = prepare(sql);
            const StatementReset reset(q);
            if (sqlite3_step(q) != SQLITE_ROW) m_session.raise(sqlite3_errcode(m_db));
            for (int c = 0; c < sqlite3_column_count(q); ++c) {
                sqlite3_value* v = sqlite3_column_value(q, c);
                values.emplace_back(sqlite3_value_type(v) == SQLITE_NULL ? nullptr : sqlite3_value_dup(v));
            }
        }
        for (size_t c = 0; c < st.targets.size(); ++c) {
            sqlite3_value* converted = convertedValue(st.conversions[qsizetype(c)], [&](sqlite3_stmt* s) {
                if (values[c])
                    sqlite3_bind_value(s, 1, values[c].get());
                else
                    sqlite3_bind_null(s, 1);
            });
            run.variables[size_t(st.targets[c])].reset(converted);
        }
    }
    run.rowCount = 1;
}

void EmbeddedBackend::closeCursor(Cursor& cursor)
{
    if (cursor.table.isEmpty()) return;
    {
        const SessionRights::Trusted trusted(m_rights);
        sqlite3_exec(m_db, ("drop table if exists " + cursor.table).toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    cursor.table.clear();
    cursor.rows = 0;
    cursor.position = 0;
}

// A batch or procedure that ends deallocates its local cursors and cursor variables.
void EmbeddedBackend::endCursors(Run& run)
{
    for (auto& [name, cursor] : run.cursors) closeCursor(*cursor);
    run.cursors.clear();
}

void EmbeddedBackend::registerCursorFunctions()
{
    sqlite3_create_function_v2(m_db, "orra_fetch_status", 0, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value**) {
            sqlite3_result_int(ctx, static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_fetchStatus);
        },
        nullptr, nullptr, nullptr);
    // the rows of the cursor opened last: -1 for one that is not static, 0 once it is closed
    sqlite3_create_function_v2(m_db, "orra_cursor_rows", 0, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value**) {
            const auto* self = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx));
            const std::shared_ptr<Cursor> c = self->m_lastOpened.lock();
            sqlite3_result_int64(ctx, !c || !c->isOpen() ? 0 : c->isStatic ? c->rows : -1);
        },
        nullptr, nullptr, nullptr);
    // cursor_status('local' | 'global' | 'variable', name): -3 for no such cursor
    sqlite3_create_function_v2(m_db, "cursor_status", 2, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            auto* self = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx));
            const auto text = [](sqlite3_value* v) {
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
            };
            const QString kind = text(argv[0]).trimmed().toLower();
            const QString name = foldName(text(argv[1]).trimmed());
            const CursorMap* scope = kind == u"global" ? &self->m_globalCursors
                : self->m_run && (kind == u"local" || kind == u"variable") ? &self->m_run->cursors
                                                                         : nullptr;
            int status = -3;
            if (scope && (kind == u"variable") == name.startsWith(u'@'))
                if (const auto it = scope->find(name); it != scope->end()) status = statusOf(*it->second);
            sqlite3_result_int(ctx, status);
        },
        nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
