// The T-SQL script and the embedded schema describe the same catalogue, column for column.
#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <QFile>
#include <QRegularExpression>
#include "../embedded/PrintQString.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace orra::embedded;
using orra::catalogue::catalogueSchema;

namespace {

struct Column {
    QString name;
    QString type;
    bool notNull = false;
    bool pk = false;
    bool operator==(const Column& o) const
    {
        return name == o.name && type == o.type && notNull == o.notNull && pk == o.pk;
    }
};

QString rows(sqlite3* db, const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    QStringList out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))).toLower();
        out << row.join(u'|');
    }
    sqlite3_finalize(st);
    out.sort();
    return out.join(u'\n');
}

sqlite3* memory()
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    registerCollation(db);
    return db;
}

}   // namespace

TEST(Schema, SqlServerScriptAndEmbeddedSchemaAgree)
{
    QFile f(QStringLiteral(ORRA_SOURCE_DIR "/sql/sqlserver/catalogue.sql"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(f.readAll());
    // Table and index definitions of the T-SQL script, through the server's own translator.
    sqlite3* fromTsql = memory();
    int tables = 0;
    const QStringList batches =
        script.split(QRegularExpression(QStringLiteral("^\\s*GO\\s*$"), QRegularExpression::MultilineOption));
    for (const QString& batch : batches) {
        const QString b = batch.trimmed();
        if (!b.contains(QRegularExpression(
                QStringLiteral("^create (table|unique index|index)"), QRegularExpression::MultilineOption)))
            continue;
        const Translation t = translate(b, QStringLiteral("catalogue"));
        ASSERT_TRUE(t.error.isEmpty()) << t.error.toStdString();
        for (const Statement& s : t.statements) {
            ASSERT_TRUE(s.is<SqlStatement>());
            if (s.as<SqlStatement>()->sql.startsWith(QLatin1String("create table"))) ++tables;
            QString sql = s.as<SqlStatement>()->sql;
            sql.replace(QLatin1String("main."), QString());
            char* err = nullptr;
            ASSERT_EQ(sqlite3_exec(fromTsql, sql.toUtf8().constData(), nullptr, nullptr, &err), SQLITE_OK)
                << err << "\n"
                << sql.toStdString();
        }
    }
    EXPECT_EQ(tables, 10);
    sqlite3* embedded = memory();
    char* err = nullptr;
    ASSERT_EQ(sqlite3_exec(embedded, catalogueSchema().toUtf8().constData(), nullptr, nullptr, &err), SQLITE_OK) << err;

    const QString tablesSql =
        QStringLiteral("select name from sqlite_master where type='table' and name like 'tbOrra%'");
    ASSERT_EQ(rows(fromTsql, tablesSql), rows(embedded, tablesSql));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(embedded, tablesSql.toUtf8().constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        // Columns in order with their types, nullability and keys.
        const QString columns =
            QStringLiteral("select cid, name, type, \"notnull\", pk from pragma_table_info('%1')").arg(table);
        EXPECT_EQ(rows(fromTsql, columns), rows(embedded, columns)) << table.toStdString();
        // Type, collation, nullability, key and identity of each column.
        auto meta = [&](sqlite3* db) {
            QStringList out;
            sqlite3_stmt* q = nullptr;
            sqlite3_prepare_v2(db,
                QStringLiteral("select name from pragma_table_info('%1') order by cid").arg(table).toUtf8().constData(),
                -1, &q, nullptr);
            while (sqlite3_step(q) == SQLITE_ROW) {
                const char* col = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
                const char* type = nullptr;
                const char* coll = nullptr;
                int notNull = 0, pk = 0, autoinc = 0;
                sqlite3_table_column_metadata(
                    db, "main", table.toUtf8().constData(), col, &type, &coll, &notNull, &pk, &autoinc);
                out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                           .arg(QString::fromUtf8(col), QString::fromUtf8(type).toLower(), QString::fromUtf8(coll))
                           .arg(notNull)
                           .arg(pk)
                           .arg(autoinc);
            }
            sqlite3_finalize(q);
            return out.join(u'\n');
        };
        EXPECT_EQ(meta(fromTsql), meta(embedded)) << table.toStdString();
        // Foreign keys with their cascades.
        const QString fks = QStringLiteral(
            "select \"table\", \"from\", \"to\", on_update, on_delete from pragma_foreign_key_list('%1')")
                                .arg(table);
        EXPECT_EQ(rows(fromTsql, fks), rows(embedded, fks)) << table.toStdString();
        // Indexes (name, uniqueness, columns).
        const QString idx =
            QStringLiteral("select l.name, l.\"unique\", group_concat(i.name) from pragma_index_list('%1') l, "
                           "pragma_index_info(l.name) i where l.origin='c' group by l.name")
                .arg(table);
        EXPECT_EQ(rows(fromTsql, idx), rows(embedded, idx)) << table.toStdString();
    }
    sqlite3_finalize(st);
    sqlite3_close(fromTsql);
    sqlite3_close(embedded);
}

TEST(Schema, EmbeddedCatalogueColumnOrder)
{
    sqlite3* db = memory();
    ASSERT_EQ(sqlite3_exec(db, catalogueSchema().toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    auto cols = [&](const char* t) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
            QStringLiteral("select name from pragma_table_info('%1') order by cid")
                .arg(QLatin1String(t))
                .toUtf8()
                .constData(),
            -1, &st, nullptr);
        QStringList r;
        while (sqlite3_step(st) == SQLITE_ROW)
            r << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return r.join(u',');
    };
    EXPECT_EQ(cols("tbOrraSQL"), QStringLiteral("ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner,CheckSum"));
    EXPECT_EQ(cols("tbOrraCategory"), QStringLiteral("ID,ParentID,Name,Type,Disabled,Owner,CheckSum"));
    EXPECT_EQ(cols("tbOrraRelations"), QStringLiteral("ObjID,RelObjID"));
    EXPECT_EQ(cols("tbOrraRepository"), QStringLiteral("ID,Tag,Name,SQLTxt"));
    EXPECT_EQ(cols("tbOrraCallSchema"), QStringLiteral("ID,DocID,SchemaID,Name,Description"));
    EXPECT_EQ(cols("tbOrraCallSchemaDetail"), QStringLiteral("ParentID,ParamID,ParamVal"));
    EXPECT_EQ(cols("tbOrraDocPermissions"), QStringLiteral("OrraID,UserId,Allow,Deny,CheckSum"));
    EXPECT_EQ(cols("tbOrraCategoryPermissions"), QStringLiteral("CategoryID,UserId,Allow,Deny,CheckSum"));
    EXPECT_EQ(cols("tbOrraConnections"), QStringLiteral("Server,IP,Database,UserName,UserPwd"));
    sqlite3_close(db);
}
