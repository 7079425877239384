#include "platform/db/embedded/ObjectCatalog.h"

#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/ObjectNames.h"

#include "platform/host/Error.h"

#include <QRegularExpression>
#include <QString>

namespace orra::embedded {

namespace {

QString textOf(sqlite3_value* v)
{
    const auto* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return s ? QString::fromUtf8(s) : QString();
}

// Identifiers of tables and views: their place in the schema, apart for each kind of database.
constexpr sqlite3_int64 kMainObjects = 1000000;
constexpr sqlite3_int64 kTempObjects = -1000000;

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
    else
        return;
    const QString sql = QStringLiteral("select rowid from \"%1\".sqlite_master where type in (%2) and name = ? "
                                       "collate nocase")
                            .arg(QString(schema).replace(u'"', QStringLiteral("\"\"")), kinds);
    const PreparedStatement st(db, sql);
    if (!st.ok()) return;
    const QByteArray stored =
        (temporary ? name.object : translator::storedName(name.schema, name.object)).toUtf8();
    sqlite3_bind_text(st, 1, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0) + (temporary ? kTempObjects : kMainObjects));
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

void registerObjectFunctions(sqlite3* db)
{
    for (int args = 1; args <= 2; ++args)
        sqlite3_create_function(db, "orra_object_id", args, SQLITE_UTF8, nullptr, fnObjectId, nullptr, nullptr);
}

}   // namespace orra::embedded
