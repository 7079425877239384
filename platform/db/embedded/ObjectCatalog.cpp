#include "platform/db/embedded/ObjectCatalog.h"
#include "platform/db/embedded/Authorizer.h"

#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/ObjectNames.h"

#include "platform/host/Error.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QRegularExpression>
#include <QString>

#include <iterator>
#include <optional>

namespace orra::embedded {

namespace {

// Identifiers of tables and views: their place in the schema, apart for each kind of database.
constexpr sqlite3_int64 kMainObjects = 1000000;
constexpr sqlite3_int64 kTempObjects = -1000000;
// Identifiers of procedures and functions: their row of sysmodules.
constexpr sqlite3_int64 kModules = 2000000;

// The SQLite schema that holds objects of the database named, or empty when the session has
// not opened it.
QString schemaOf(sqlite3* db, const QString& database)
{
    if (database.isEmpty()) return QStringLiteral("main");
    if (foldName(database) == foldName(QStringLiteral("tempdb"))) return QStringLiteral("temp");
    const char* mainFile = sqlite3_db_filename(db, "main");
    const QString mainName = QString::fromUtf8(mainFile ? mainFile : "").section(u'/', -1).section(u'.', 0, 0);
    if (foldName(mainName) == foldName(database)) return QStringLiteral("main");
    for (int i = 0;; ++i) {
        const char* name = sqlite3_db_name(db, i);
        if (!name) break;
        if (foldName(QString::fromUtf8(name)) == foldName(database)) return QString::fromUtf8(name);
    }
    return {};
}

QString quotedSchema(const QString& schema) { return u'"' + QString(schema).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

void bindText(sqlite3_stmt* st, int at, const QString& text)
{
    const QByteArray u = text.toUtf8();
    sqlite3_bind_text(st, at, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

QString moduleSchema(const QString& schema) { return translator::isDefaultSchema(schema) ? QStringLiteral("dbo") : schema; }

// The row of the module of that name in sysmodules of the SQLite schema, with its type; 0 when
// there is none (or the database has made no module yet).
sqlite3_int64 moduleRow(sqlite3* db, const QString& database, const QString& schema, const QString& name, QString* type)
{
    const PreparedStatement st(db,
        QStringLiteral("select rowid, type from %1.sysmodules where schema_name = ? and name = ?").arg(quotedSchema(database)));
    if (!st.ok()) return 0;
    bindText(st, 1, moduleSchema(schema));
    bindText(st, 2, name);
    if (sqlite3_step(st) != SQLITE_ROW) return 0;
    if (type) *type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))).trimmed();
    return sqlite3_column_int64(st, 0);
}

// Whether a table or view holds the name.
bool tableOrViewNamed(sqlite3* db, const QString& database, const QString& schema, const QString& name)
{
    const PreparedStatement st(db,
        QStringLiteral("select 1 from %1.sqlite_master where type in ('table','view') and name = ? collate nocase")
            .arg(quotedSchema(database)));
    if (!st.ok()) return false;
    bindText(st, 1, translator::storedName(schema, name));
    return sqlite3_step(st) == SQLITE_ROW;
}

void fnObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const translator::ObjectName name = translator::parseObjectName(textOf(argv[0]));
    if (name.parts == 0) return;
    const QString type = argc > 1 ? textOf(argv[1]).trimmed().toUpper() : QString();
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const bool temporary = name.object.startsWith(u'#');
    const QString schema = temporary ? QStringLiteral("temp") : schemaOf(db, name.database);
    if (schema.isEmpty()) return;
    QString kinds;
    if (type.isEmpty())
        kinds = QStringLiteral("'table','view'");
    else if (type == u"U")
        kinds = QStringLiteral("'table'");
    else if (type == u"V")
        kinds = QStringLiteral("'view'");
    if (!kinds.isEmpty()) {
        const QString sql = QStringLiteral("select rowid from %1.sqlite_master where type in (%2) and name = ? "
                                           "collate nocase")
                                .arg(quotedSchema(schema), kinds);
        const PreparedStatement st(db, sql);
        if (!st.ok()) return;
        bindText(st, 1, temporary ? name.object : translator::storedName(name.schema, name.object));
        if (sqlite3_step(st) == SQLITE_ROW) {
            sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0) + (temporary ? kTempObjects : kMainObjects));
            return;
        }
    }
    if (temporary || !(type.isEmpty() || type == u"P" || type == u"FN" || type == u"IF" || type == u"TF")) return;
    QString moduleType;
    if (const sqlite3_int64 row = moduleRow(db, schema, name.schema, name.object, &moduleType);
        row > 0 && (type.isEmpty() || type == moduleType))
        sqlite3_result_int64(ctx, row + kModules);
}

// OBJECT_NAME(id) and OBJECT_SCHEMA_NAME(id): the parts of the name of the table, view or
// module of the database that OBJECT_ID numbers so; NULL for any other number (temporary
// tables are no objects of the database).
template <bool SchemaPart> void fnObjectName(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    const int type = sqlite3_value_type(argv[0]);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return;
    const sqlite3_int64 id = sqlite3_value_int64(argv[0]);
    sqlite3* db = sqlite3_context_db_handle(ctx);
    QString schema = QStringLiteral("dbo");
    QString object;
    if (id > kModules) {
        const PreparedStatement st(db, "select schema_name, name from main.sysmodules where rowid = ?");
        if (!st.ok()) return;
        sqlite3_bind_int64(st, 1, id - kModules);
        if (sqlite3_step(st) != SQLITE_ROW) return;
        if (const QString s = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))); !s.isEmpty())
            schema = s;
        object = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    } else if (id > kMainObjects) {
        const PreparedStatement st(db, "select name from main.sqlite_master where rowid = ? and type in ('table','view')");
        if (!st.ok()) return;
        sqlite3_bind_int64(st, 1, id - kMainObjects);
        if (sqlite3_step(st) != SQLITE_ROW) return;
        object = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (const qsizetype dot = object.indexOf(u'.'); dot > 0) {
            schema = object.left(dot);
            object = object.mid(dot + 1);
        }
    } else {
        return;
    }
    const QByteArray text = (SchemaPart ? schema : object).toUtf8();
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// ---- SCHEMA_ID, SCHEMA_NAME, COL_NAME, COL_LENGTH ------------------------------------------

// The server's own schemas by their numbers; a schema made by CREATE SCHEMA numbers after them.
const char* const kBuiltInSchemas[] = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};
constexpr sqlite3_int64 kFirstMadeSchema = 5;

// SCHEMA_ID([name]): the number of the schema of the current database; dbo's without a name.
void fnSchemaId(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    if (argc == 0) return sqlite3_result_int(ctx, 1);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    const QString name = textOf(argv[0]);
    for (int k = 0; k < int(std::size(kBuiltInSchemas)); ++k)
        if (name.compare(QLatin1String(kBuiltInSchemas[k]), Qt::CaseInsensitive) == 0) return sqlite3_result_int(ctx, k + 1);
    const PreparedStatement st(sqlite3_context_db_handle(ctx), "select rowid from main.sysschemas where name = ?");
    if (!st.ok()) return;
    bindText(st, 1, name);
    if (sqlite3_step(st) == SQLITE_ROW) sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0) - 1 + kFirstMadeSchema);
}

// SCHEMA_NAME([id]): the name of the schema so numbered; the caller's default (dbo) without one.
void fnSchemaName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    if (argc == 0) return resultText(ctx, QStringLiteral("dbo"));
    const int type = sqlite3_value_type(argv[0]);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return;
    const sqlite3_int64 id = sqlite3_value_int64(argv[0]);
    if (id >= 1 && id < kFirstMadeSchema) return resultText(ctx, QString::fromLatin1(kBuiltInSchemas[id - 1]));
    const PreparedStatement st(sqlite3_context_db_handle(ctx), "select name from main.sysschemas where rowid = ?");
    if (!st.ok()) return;
    sqlite3_bind_int64(st, 1, id + 1 - kFirstMadeSchema);
    if (sqlite3_step(st) == SQLITE_ROW) resultText(ctx, QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
}

// The server reads a table's columns itself (pragma_table_info), which client text may not.
class ServerReading {
public:
    explicit ServerReading(sqlite3_context* ctx)
    {
        if (auto* rights = static_cast<SessionRights*>(sqlite3_user_data(ctx))) m_trusted.emplace(*rights);
    }

private:
    std::optional<SessionRights::Trusted> m_trusted;
};

// The SQLite schema and stored name of the table or view OBJECT_ID numbers so.
std::optional<std::pair<QString, QString>> tableOfId(sqlite3* db, sqlite3_int64 id)
{
    const bool temporary = id < 0 && id > kTempObjects;
    if (!temporary && !(id > kMainObjects && id < kModules)) return std::nullopt;
    const QString schema = temporary ? QStringLiteral("temp") : QStringLiteral("main");
    const PreparedStatement st(db, QStringLiteral("select name from %1.sqlite_master where rowid = ? and type in "
                                                  "('table','view')")
                                       .arg(schema));
    if (!st.ok()) return std::nullopt;
    sqlite3_bind_int64(st, 1, id - (temporary ? kTempObjects : kMainObjects));
    if (sqlite3_step(st) != SQLITE_ROW) return std::nullopt;
    return std::pair{schema, QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))};
}

// COL_NAME(table_id, column_id): the name of the table's column at that position (from 1).
void fnColName(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    const ServerReading reading(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const auto table = tableOfId(db, sqlite3_value_int64(argv[0]));
    if (!table) return;
    const PreparedStatement st(db, "select name from pragma_table_info(?, ?) where cid = ?");
    if (!st.ok()) return;
    bindText(st, 1, table->second);
    bindText(st, 2, table->first);
    sqlite3_bind_int64(st, 3, sqlite3_value_int64(argv[1]) - 1);
    if (sqlite3_step(st) == SQLITE_ROW) resultText(ctx, QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
}

// The bytes a column of the declared type takes as the server defines them; -1 for (max).
std::optional<int> definedLength(const QString& declared)
{
    static const QRegularExpression form(QStringLiteral(R"(^\s*(\w+)\s*(?:\(\s*(\w+)\s*(?:,\s*\d+\s*)?\))?)"));
    const QRegularExpressionMatch m = form.match(declared);
    if (!m.hasMatch()) return std::nullopt;
    const QString base = m.captured(1).toLower();
    const QString size = m.captured(2).toLower();
    // (max) is kept without a size; char, nchar and binary have none
    const bool max = size == u"max" || (size.isEmpty() && base.startsWith(QLatin1String("var")))
        || (size.isEmpty() && base == u"nvarchar");
    const int n = size.isEmpty() ? -2 : size.toInt();
    if (base == u"varchar" || base == u"char" || base == u"varbinary" || base == u"binary")
        return max ? -1 : n == -2 ? 1 : n;
    if (base == u"nvarchar" || base == u"nchar") return max ? -1 : n == -2 ? 2 : 2 * n;
    static const struct {
        const char* name;
        int bytes;
    } fixed[] = {{"bigint", 8}, {"int", 4}, {"smallint", 2}, {"tinyint", 1}, {"bit", 1}, {"money", 8},
        {"smallmoney", 4}, {"float", 8}, {"real", 4}, {"datetime", 8}, {"smalldatetime", 4}, {"date", 3},
        {"uniqueidentifier", 16}, {"text", 16}, {"ntext", 16}, {"image", 16}, {"sysname", 256}};
    for (const auto& f : fixed)
        if (base == QLatin1String(f.name)) return f.bytes;
    const int scale = n == -2 ? 7 : n;
    if (base == u"time") return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    if (base == u"datetime2") return scale <= 2 ? 6 : scale <= 4 ? 7 : 8;
    if (base == u"datetimeoffset") return scale <= 2 ? 8 : scale <= 4 ? 9 : 10;
    if (base == u"decimal" || base == u"numeric") {
        const int p = n == -2 ? 18 : n;
        return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    }
    return std::nullopt;
}

// COL_LENGTH('table', 'column'): the column's defined length in bytes; NULL when there is none.
void fnColLength(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_null(ctx);
    const ServerReading reading(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const translator::ObjectName name = translator::parseObjectName(textOf(argv[0]));
    if (name.parts == 0) return;
    const bool temporary = name.object.startsWith(u'#');
    const QString schema = temporary ? QStringLiteral("temp") : schemaOf(db, name.database);
    if (schema.isEmpty()) return;
    const PreparedStatement st(db, QStringLiteral("select c.type from %1.sqlite_master m, pragma_table_info(m.name, ?) c "
                                                  "where m.type in ('table','view') and m.name = ? collate nocase and "
                                                  "c.name = ? collate nocase")
                                       .arg(quotedSchema(schema)));
    if (!st.ok()) return;
    bindText(st, 1, schema);
    bindText(st, 2, temporary ? name.object : translator::storedName(name.schema, name.object));
    bindText(st, 3, textOf(argv[1]));
    if (sqlite3_step(st) != SQLITE_ROW) return;
    if (const auto bytes = definedLength(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))))
        sqlite3_result_int(ctx, *bytes);
}

// A module's change is a change of the schema: statements that call a function were translated
// by its definition (its parameters, an inline function's query), so none translated before
// may be reused. SQLite counts one schema change for each DDL statement.
void markModulesChanged(sqlite3* db)
{
    for (const char* sql : {"drop index if exists main.sysmodules_version",
             "create index main.sysmodules_version on sysmodules (type)"})
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw orra::Error(1, QString(), QString::fromUtf8(sqlite3_errmsg(db)));
}

bool isBuiltInSchema(const QString& name)
{
    for (const char* s : {"dbo", "guest", "sys", "INFORMATION_SCHEMA"})
        if (name.compare(QLatin1String(s), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool schemaExists(sqlite3* db, const QString& database, const QString& name)
{
    if (isBuiltInSchema(name)) return true;
    const PreparedStatement st(db, QStringLiteral("select 1 from %1.sysschemas where name = ?").arg(database));
    if (!st.ok()) return false;   // no schema made in it yet
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    return sqlite3_step(st) == SQLITE_ROW;
}

}   // namespace

void createSchema(sqlite3* db, const QString& name)
{
    if (schemaExists(db, QStringLiteral("main"), name))
        throw orra::Error(2714, QString(), QStringLiteral("There is already an object named '%1' in the database.").arg(name));
    const char* make = "create table if not exists main.sysschemas (name varchar(128) COLLATE TR_CI NOT NULL PRIMARY KEY)";
    if (sqlite3_exec(db, make, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw orra::Error(1, QString(), QString::fromUtf8(sqlite3_errmsg(db)));
    const PreparedStatement st(db, "insert into main.sysschemas (name) values (?)");
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_DONE) throw orra::Error(1, QString(), QString::fromUtf8(sqlite3_errmsg(db)));
}

QString missingSchema(sqlite3* db, const QString& sql)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^create\s+(?:table|view)\s+(main|"(?:[^"]|"")+")\."([^".]+)\.)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(sql);
    if (!m.hasMatch()) return {};
    const QString schema = m.captured(2);
    return schemaExists(db, m.captured(1), schema) ? QString() : schema;
}

std::optional<StoredModule> findModule(
    sqlite3* db, const QString& database, const QString& schema, const QString& name)
{
    const PreparedStatement st(db,
        QStringLiteral("select schema_name, name, type, definition from %1.sysmodules where schema_name = ? and name = ?")
            .arg(quotedSchema(database)));
    if (!st.ok()) return std::nullopt;
    bindText(st, 1, moduleSchema(schema));
    bindText(st, 2, name);
    if (sqlite3_step(st) != SQLITE_ROW) return std::nullopt;
    const auto column = [&](int c) { return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))); };
    return StoredModule{column(0), column(1), column(2).trimmed(), column(3)};
}

void storeModule(sqlite3* db, const StoredModule& module, ModuleChange change)
{
    const QString main = QStringLiteral("main");
    const auto fail = [&] { throw orra::Error(1, QString(), QString::fromUtf8(sqlite3_errmsg(db))); };
    QString type;
    const sqlite3_int64 row = moduleRow(db, main, module.schema, module.name, &type);
    const QString shown = translator::isDefaultSchema(module.schema) ? module.name : module.schema + u'.' + module.name;
    if (row > 0 && change == ModuleChange::Create)
        throw orra::Error(2714, QString(), QStringLiteral("There is already an object named '%1' in the database.").arg(module.name));
    if (row == 0 && change == ModuleChange::Alter)
        throw orra::Error(208, QString(), QStringLiteral("Invalid object name '%1'.").arg(shown));
    if (row > 0 && type != module.type)
        throw orra::Error(2010, QString(),
            QStringLiteral("Cannot perform alter on '%1' because it is an incompatible object type.").arg(shown));
    if (row == 0 && tableOrViewNamed(db, main, module.schema, module.name))
        throw orra::Error(2714, QString(), QStringLiteral("There is already an object named '%1' in the database.").arg(module.name));
    const char* make = "create table if not exists main.sysmodules (schema_name varchar(128) COLLATE TR_CI NOT NULL, "
                       "name varchar(128) COLLATE TR_CI NOT NULL, type char(2) NOT NULL, definition text NOT NULL, "
                       "PRIMARY KEY (schema_name, name))";
    if (sqlite3_exec(db, make, nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    const PreparedStatement st(db,
        row > 0 ? "update main.sysmodules set type = ?, definition = ? where rowid = ?"
                : "insert into main.sysmodules (type, definition, schema_name, name) values (?, ?, ?, ?)");
    bindText(st, 1, module.type);
    bindText(st, 2, module.definition);
    if (row > 0) {
        sqlite3_bind_int64(st, 3, row);
    } else {
        bindText(st, 3, moduleSchema(module.schema));
        bindText(st, 4, module.name);
    }
    if (sqlite3_step(st) != SQLITE_DONE) fail();
    markModulesChanged(db);
}

bool dropModule(sqlite3* db, const QString& schema, const QString& name, const QString& types)
{
    QString type;
    const sqlite3_int64 row = moduleRow(db, QStringLiteral("main"), schema, name, &type);
    if (row == 0 || !types.split(u',').contains(type)) return false;
    const PreparedStatement st(db, "delete from main.sysmodules where rowid = ?");
    sqlite3_bind_int64(st, 1, row);
    if (sqlite3_step(st) != SQLITE_DONE) throw orra::Error(1, QString(), QString::fromUtf8(sqlite3_errmsg(db)));
    markModulesChanged(db);
    return true;
}

QString moduleNamedBy(sqlite3* db, const QString& sql)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*create\s+(?:table|view)\s+(?:if\s+not\s+exists\s+)?(?:("(?:[^"]|"")+"|\w+)\.)?("(?:[^"]|"")+"|\w+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(sql);
    if (!m.hasMatch()) return {};
    const auto bare = [](QString n) {
        if (n.startsWith(u'"')) n = n.mid(1, n.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        return n;
    };
    const QString database = m.captured(1).isEmpty() ? QStringLiteral("main") : bare(m.captured(1));
    if (database.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0) return {};
    const QString stored = bare(m.captured(2));
    const qsizetype dot = stored.indexOf(u'.');
    const QString schema = dot < 0 ? QString() : stored.left(dot);
    const QString name = dot < 0 ? stored : stored.mid(dot + 1);
    return moduleRow(db, database, schema, name, nullptr) > 0 ? name : QString();
}

std::optional<StoredTable> tableNamed(sqlite3* db, const QString& text)
{
    const translator::ObjectName name = translator::parseObjectName(text);
    if (name.parts == 0) return std::nullopt;
    const bool temporary = name.object.startsWith(u'#');
    const QString schema = temporary ? QStringLiteral("temp") : schemaOf(db, name.database);
    if (schema.isEmpty()) return std::nullopt;
    const PreparedStatement st(db,
        QStringLiteral("select name from %1.sqlite_master where type = 'table' and name = ? collate nocase")
            .arg(quotedSchema(schema)));
    if (!st.ok()) return std::nullopt;
    bindText(st, 1, temporary ? name.object : translator::storedName(name.schema, name.object));
    if (sqlite3_step(st) != SQLITE_ROW) return std::nullopt;
    return StoredTable{schema, QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))};
}

bool hasSchema(sqlite3* db, const QString& schema) { return schemaExists(db, QStringLiteral("main"), schema); }

void registerObjectFunctions(sqlite3* db, SessionRights* rights)
{
    for (int args = 1; args <= 2; ++args)
        sqlite3_create_function(db, "orra_object_id", args, SQLITE_UTF8, nullptr, fnObjectId, nullptr, nullptr);
    sqlite3_create_function(db, "orra_object_name", 1, SQLITE_UTF8, nullptr, fnObjectName<false>, nullptr, nullptr);
    sqlite3_create_function(db, "orra_object_schema_name", 1, SQLITE_UTF8, nullptr, fnObjectName<true>, nullptr, nullptr);
    for (int args = 0; args <= 1; ++args) {
        sqlite3_create_function(db, "orra_schema_id", args, SQLITE_UTF8, nullptr, fnSchemaId, nullptr, nullptr);
        sqlite3_create_function(db, "orra_schema_name", args, SQLITE_UTF8, nullptr, fnSchemaName, nullptr, nullptr);
    }
    sqlite3_create_function(db, "orra_col_name", 2, SQLITE_UTF8, rights, fnColName, nullptr, nullptr);
    sqlite3_create_function(db, "orra_col_length", 2, SQLITE_UTF8, rights, fnColLength, nullptr, nullptr);
}

}   // namespace orra::embedded
