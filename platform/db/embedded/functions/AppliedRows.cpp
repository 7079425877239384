#include "platform/db/embedded/functions/AppliedRows.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

namespace orra::embedded {

namespace {

// The pack: the column count (4 bytes), then each row's values in order, each a type byte
// (SQLite's SQLITE_INTEGER … SQLITE_NULL) and its payload: 8 bytes for a number, a 4-byte
// length and the bytes for text and blobs.
void putBytes(std::string& out, const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }

void putValue(std::string& out, sqlite3_value* v)
{
    const auto type = static_cast<unsigned char>(sqlite3_value_type(v));
    out.push_back(char(type));
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 i = sqlite3_value_int64(v);
        putBytes(out, &i, sizeof i);
        break;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(v);
        putBytes(out, &d, sizeof d);
        break;
    }
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const void* bytes = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
        const auto n = static_cast<uint32_t>(sqlite3_value_bytes(v));
        putBytes(out, &n, sizeof n);
        if (n > 0) putBytes(out, bytes, n);
        break;
    }
    default:
        break;
    }
}

struct Pack {
    std::string* bytes;
};

void packStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* p = static_cast<Pack*>(sqlite3_aggregate_context(ctx, sizeof(Pack)));
    if (!p) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    if (!p->bytes) {
        p->bytes = new std::string;
        const auto n = static_cast<uint32_t>(argc);
        putBytes(*p->bytes, &n, sizeof n);
    }
    for (int i = 0; i < argc; ++i) putValue(*p->bytes, argv[i]);
}

void packFinal(sqlite3_context* ctx)
{
    auto* p = static_cast<Pack*>(sqlite3_aggregate_context(ctx, 0));
    if (!p || !p->bytes) {
        // no rows
        sqlite3_result_zeroblob(ctx, 0);
        return;
    }
    sqlite3_result_blob64(ctx, p->bytes->data(), p->bytes->size(), SQLITE_TRANSIENT);
    delete p->bytes;
    p->bytes = nullptr;
}

// One packed value: its type and where its payload lies in the pack.
struct Cell {
    int type = SQLITE_NULL;
    size_t at = 0;
    uint32_t size = 0;
};

struct RowsTable {
    sqlite3_vtab base{};
    int columns = 0;
};

struct RowsCursor {
    sqlite3_vtab_cursor base{};
    std::string pack;
    uint32_t columns = 0;
    std::vector<Cell> cells;   // row-major
    size_t row = 0;

    size_t rows() const { return columns ? cells.size() / columns : 0; }
};

// Reads the pack into cells; false when it is not one.
bool unpack(RowsCursor& c)
{
    c.cells.clear();
    c.columns = 0;
    const std::string& p = c.pack;
    if (p.empty()) return true;
    if (p.size() < 4) return false;
    std::memcpy(&c.columns, p.data(), 4);
    size_t at = 4;
    while (at < p.size()) {
        Cell cell;
        cell.type = static_cast<unsigned char>(p[at++]);
        switch (cell.type) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            if (p.size() - at < 8) return false;
            cell.at = at;
            at += 8;
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            if (p.size() - at < 4) return false;
            std::memcpy(&cell.size, p.data() + at, 4);
            at += 4;
            if (p.size() - at < cell.size) return false;
            cell.at = at;
            at += cell.size;
            break;
        case SQLITE_NULL:
            break;
        default:
            return false;
        }
        c.cells.push_back(cell);
    }
    return c.columns > 0 && c.cells.size() % c.columns == 0;
}

constexpr char kPrefix[] = "orra_apply_rows:";

// The declared types of the columns, from the table's name.
QStringList typesOf(const QString& name) { return name.mid(int(sizeof kPrefix) - 1).split(u';'); }

int rowsConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**)
{
    const QStringList& types = *static_cast<const QStringList*>(aux);
    QString ddl = QStringLiteral("create table x(");
    for (qsizetype i = 0; i + 1 < types.size(); ++i)
        ddl += QStringLiteral("c%1 %2 collate TR_CI, ").arg(i + 1).arg(types[i]);
    ddl += QStringLiteral("pack hidden)");
    const int rc = sqlite3_declare_vtab(db, ddl.toUtf8().constData());
    if (rc != SQLITE_OK) return rc;
    auto* t = new RowsTable;
    t->columns = int(types.size()) - 1;
    *out = &t->base;
    return SQLITE_OK;
}

int rowsDisconnect(sqlite3_vtab* v)
{
    delete reinterpret_cast<RowsTable*>(v);
    return SQLITE_OK;
}

// The pack is the function's argument: it must be given.
int rowsBestIndex(sqlite3_vtab* v, sqlite3_index_info* info)
{
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.op != SQLITE_INDEX_CONSTRAINT_EQ || c.iColumn != reinterpret_cast<RowsTable*>(v)->columns) continue;
        if (!c.usable) return SQLITE_CONSTRAINT;
        info->aConstraintUsage[i].argvIndex = 1;
        info->aConstraintUsage[i].omit = 1;
        info->estimatedCost = 10;
        info->estimatedRows = 10;
        return SQLITE_OK;
    }
    // a plan without the pack (SQLite tries some for OR terms): not one to take
    (void)v;
    return SQLITE_CONSTRAINT;
}

int rowsOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = &(new RowsCursor)->base;
    return SQLITE_OK;
}

int rowsClose(sqlite3_vtab_cursor* c)
{
    delete reinterpret_cast<RowsCursor*>(c);
    return SQLITE_OK;
}

int rowsFilter(sqlite3_vtab_cursor* cur, int, const char*, int argc, sqlite3_value** argv)
{
    auto* c = reinterpret_cast<RowsCursor*>(cur);
    c->row = 0;
    c->pack.clear();
    if (argc >= 1 && sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
        const auto* bytes = static_cast<const char*>(sqlite3_value_blob(argv[0]));
        c->pack.assign(bytes ? bytes : "", size_t(sqlite3_value_bytes(argv[0])));
    }
    if (!unpack(*c)) {
        cur->pVtab->zErrMsg = sqlite3_mprintf("%s", "The applied rows are not a pack.");
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int rowsNext(sqlite3_vtab_cursor* cur)
{
    ++reinterpret_cast<RowsCursor*>(cur)->row;
    return SQLITE_OK;
}

int rowsEof(sqlite3_vtab_cursor* cur)
{
    const auto* c = reinterpret_cast<RowsCursor*>(cur);
    return c->row >= c->rows();
}

int rowsColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int column)
{
    const auto* c = reinterpret_cast<RowsCursor*>(cur);
    if (column < 0 || uint32_t(column) >= c->columns) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    const Cell& cell = c->cells[c->row * c->columns + size_t(column)];
    const char* p = c->pack.data() + cell.at;
    switch (cell.type) {
    case SQLITE_INTEGER: {
        sqlite3_int64 i;
        std::memcpy(&i, p, sizeof i);
        sqlite3_result_int64(ctx, i);
        break;
    }
    case SQLITE_FLOAT: {
        double d;
        std::memcpy(&d, p, sizeof d);
        sqlite3_result_double(ctx, d);
        break;
    }
    case SQLITE_TEXT:
        sqlite3_result_text64(ctx, p, cell.size, SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    case SQLITE_BLOB:
        sqlite3_result_blob64(ctx, p, cell.size, SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_result_null(ctx);
        break;
    }
    return SQLITE_OK;
}

int rowsRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid)
{
    *rowid = sqlite3_int64(reinterpret_cast<RowsCursor*>(cur)->row + 1);
    return SQLITE_OK;
}

sqlite3_module rowsModule()
{
    sqlite3_module m{};
    m.xCreate = nullptr;   // eponymous only
    m.xConnect = rowsConnect;
    m.xBestIndex = rowsBestIndex;
    m.xDisconnect = rowsDisconnect;
    m.xDestroy = rowsDisconnect;
    m.xOpen = rowsOpen;
    m.xClose = rowsClose;
    m.xFilter = rowsFilter;
    m.xNext = rowsNext;
    m.xEof = rowsEof;
    m.xColumn = rowsColumn;
    m.xRowid = rowsRowid;
    return m;
}

}   // namespace

QString appliedRowsTable(const QStringList& types)
{
    // Each type ends with ";": the last part of the name is empty.
    QString name = QLatin1String(kPrefix);
    for (const QString& t : types) name += t + u';';
    return name;
}

QStringList appliedRowsTablesIn(const QString& sql)
{
    QStringList names;
    const QString quotedPrefix = u'"' + QLatin1String(kPrefix);
    for (qsizetype at = sql.indexOf(quotedPrefix); at >= 0; at = sql.indexOf(quotedPrefix, at + 1)) {
        const qsizetype end = sql.indexOf(u'"', at + 1);
        if (end < 0) break;
        const QString name = sql.mid(at + 1, end - at - 1);
        if (!names.contains(name)) names << name;
    }
    return names;
}

void registerAppliedRowsTable(sqlite3* db, const QString& name)
{
    static const sqlite3_module module = rowsModule();
    auto* types = new QStringList(typesOf(name));
    sqlite3_create_module_v2(db, name.toUtf8().constData(), &module, types,
        [](void* p) { delete static_cast<QStringList*>(p); });
}

void registerAppliedRows(sqlite3* db)
{
    // orra_merge_once(n): a target row that a MERGE would update for n source rows
    sqlite3_create_function_v2(
        db, "orra_merge_once", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            if (sqlite3_value_int64(argv[0]) <= 1) {
                sqlite3_result_int(ctx, 1);
                return;
            }
            sqlite3_result_error(ctx,
                "The MERGE statement attempted to UPDATE or DELETE the same row more than once. This happens when a "
                "target row matches more than one source row. A MERGE statement cannot UPDATE/DELETE the same row of "
                "the target table multiple times. Refine the ON clause to ensure a target row matches at most one "
                "source row, or use the GROUP BY clause to group the source rows.",
                -1);
        },
        nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_apply_pack", -1, SQLITE_UTF8, nullptr, nullptr, packStep, packFinal, nullptr);
}

}   // namespace orra::embedded
