#include "platform/db/embedded/RowCountLimit.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace orra::embedded {

namespace {

const char* const kTrigger = "orra_rowcount_limit";

// orra_rowcount_take(rowid): 1 once the statement has changed its limit of rows (the row is
// then skipped); a row counted before is never skipped.
void take(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* state = static_cast<RowCountState*>(sqlite3_user_data(ctx));
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
        const long long row = sqlite3_value_int64(argv[0]);
        if (state->seen.count(row)) {
            sqlite3_result_int(ctx, 0);
            return;
        }
        if (state->taken >= state->limit) {
            sqlite3_result_int(ctx, 1);
            return;
        }
        state->seen.insert(row);
    } else if (state->taken >= state->limit) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    ++state->taken;
    sqlite3_result_int(ctx, 0);
}

}   // namespace

void registerRowCountFunction(sqlite3* db, RowCountState* state)
{
    sqlite3_create_function_v2(db, "orra_rowcount_take", 1, SQLITE_UTF8, state, take, nullptr, nullptr, nullptr);
}

RowCountLimit::RowCountLimit(sqlite3* db, RowCountState& state, const QString& sql, long limit) : m_db(db)
{
    if (limit <= 0) return;
    static const QString name = QStringLiteral(R"((?:"(?:[^"]|"")*"|[\w#@$]+))");
    static const QRegularExpression target(
        QStringLiteral(R"(^\s*(?:(insert|replace)\s+(?:or\s+\w+\s+)?into|(update)(?:\s+or\s+\w+)?|(delete)\s+from)\s+(%1(?:\s*\.\s*%1)?))")
            .arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = target.match(sql);
    if (!m.hasMatch()) return;
    const QString event = !m.captured(1).isEmpty() ? QStringLiteral("insert")
        : !m.captured(2).isEmpty()                 ? QStringLiteral("update")
                                                   : QStringLiteral("delete");
    const QString row = event == u"insert" ? QStringLiteral("null") : QStringLiteral("old.rowid");
    const QString create = QStringLiteral("create temp trigger %1 before %2 on %3 when orra_rowcount_take(%4) "
                                          "begin select raise(ignore); end")
                               .arg(QLatin1String(kTrigger), event, m.captured(4), row);
    state.limit = limit;
    state.taken = 0;
    state.seen.clear();
    m_installed = sqlite3_exec(db, create.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

RowCountLimit::~RowCountLimit()
{
    if (m_installed)
        sqlite3_exec(m_db, QStringLiteral("drop trigger if exists temp.%1").arg(QLatin1String(kTrigger)).toUtf8().constData(),
            nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
