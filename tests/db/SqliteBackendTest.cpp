#include "platform/db/Connection.h"
#include "platform/db/sqlite/SqliteFileBackend.h"
#include "platform/db/sqlite/SqliteSession.h"
#include "platform/host/Error.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "tests/db/Printers.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace orra::db;

namespace {

class SqliteFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("sample.db"));
        sqlite::openDatabaseFile(con, path, sqlite::FileMode::Create);
    }
    long count(const QString& table)
    {
        auto rs = con.execute(QStringLiteral("select count(*) from ") + table);
        return rs->value(0).toLongLong();
    }
    QTemporaryDir dir;
    QString path;
    Connection con;
};

}   // namespace

TEST_F(SqliteFile, OpensAndReportsProperties)
{
    EXPECT_EQ(con.state(), 1);
    EXPECT_EQ(con.property(QStringLiteral("Server Name")), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(con.property(QStringLiteral("Current Catalog")), QStringLiteral("sample"));
    EXPECT_EQ(con.property(QStringLiteral("DBMS Name")), QStringLiteral("SQLite"));
    try {
        sqlite::openDatabaseFile(con, path);
        FAIL() << "a second open must fail";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 3705);
    }
    con.close();
    EXPECT_EQ(con.state(), 0);
    try {
        con.execute(QStringLiteral("select 1"));
        FAIL() << "execute on a closed connection must fail";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 3704);
    }
}

TEST(SqliteFileOpen, MissingFileFailsWithoutCreate)
{
    QTemporaryDir dir;
    Connection con;
    const QString missing = dir.filePath(QStringLiteral("none.db"));
    try {
        sqlite::openDatabaseFile(con, missing);
        FAIL() << "opening a missing file must fail";
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -14);   // SQLITE_CANTOPEN
        EXPECT_TRUE(e.description().contains(missing)) << e.description().toStdString();
        EXPECT_EQ(e.source(), QStringLiteral("SQLite"));
    }
    ASSERT_EQ(con.errors().size(), 1);
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("08001"));
    EXPECT_EQ(con.state(), 0);
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST(SqliteFileOpen, UnknownConnectionTextHasNoProvider)
{
    Connection con;
    try {
        con.open(QStringLiteral("Foo=bar"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), 3706);
    }
}

TEST_F(SqliteFile, DeclaredTypesAndDefinedSizes)
{
    con.execute(
        QStringLiteral("create table t (a int, b smallint, c tinyint, d bigint, e bit, f float, g real, h money,"
                       " i numeric(10,2), j char(10), k varchar(30), l text, m nchar(5), n nvarchar(40), o ntext,"
                       " p datetime, q date, r binary(8), s varbinary(16), u image, v uniqueidentifier,"
                       " w decimal(5))"));
    con.execute(QStringLiteral(
        "insert into t values (1, 2, 3, 9000000000, 1, 1.5, 2.5, 3.25, 12.34, 'abc       ', 'def', 'long',"
        " 'ab   ', 'wide', 'wider', '2024-03-31 02:30:15', '2024-01-02', x'0102', x'41004200', x'ff',"
        " '6f9619ff-8b86-d011-b42d-00c04fc964ff', 7)"));
    auto rs = con.execute(QStringLiteral("select * from t"));
    struct Expect {
        DataType type;
        long size;
    };
    const Expect expect[] = {{DataType::Integer, 4}, {DataType::SmallInt, 2}, {DataType::TinyInt, 1},
        {DataType::BigInt, 8}, {DataType::Boolean, 2}, {DataType::Double, 8}, {DataType::Single, 4},
        {DataType::Currency, 8}, {DataType::Numeric, 19}, {DataType::Char, 10}, {DataType::VarChar, 30},
        {DataType::LongVarChar, 2147483647}, {DataType::WChar, 5}, {DataType::VarWChar, 40},
        {DataType::LongVarWChar, 1073741823}, {DataType::DBTimeStamp, 16}, {DataType::DBDate, 6}, {DataType::Binary, 8},
        {DataType::VarBinary, 16}, {DataType::LongVarBinary, 2147483647}, {DataType::Guid, 16},
        {DataType::Numeric, 19}};
    ASSERT_EQ(rs->fieldCount(), int(std::size(expect)));
    for (int i = 0; i < rs->fieldCount(); ++i) {
        EXPECT_EQ(int(rs->field(i).type), int(expect[i].type)) << "column " << i;
        EXPECT_EQ(rs->field(i).definedSize, expect[i].size) << "column " << i;
    }
    EXPECT_EQ(int(DataType::Numeric), 131);
    EXPECT_EQ(rs->field(8).precision, 10);
    EXPECT_EQ(rs->field(8).numericScale, 2);
    EXPECT_EQ(rs->field(21).precision, 5);
    // values
    EXPECT_EQ(rs->value(0).typeId(), QMetaType::Int);
    EXPECT_EQ(rs->value(0).toInt(), 1);
    EXPECT_EQ(rs->value(3).typeId(), QMetaType::LongLong);
    EXPECT_EQ(rs->value(3).toLongLong(), 9000000000LL);
    EXPECT_EQ(rs->value(4).typeId(), QMetaType::Bool);
    EXPECT_TRUE(rs->value(4).toBool());
    EXPECT_EQ(rs->value(6).toDouble(), 2.5);
    EXPECT_EQ(rs->value(7).toDouble(), 3.25);
    EXPECT_EQ(rs->value(8).toDouble(), 12.34);
    EXPECT_EQ(rs->value(9).toString(), QStringLiteral("abc       "));
    // a wall-clock time that does not exist in some zones (a DST gap) is kept as written
    const QDateTime p = rs->value(15).toDateTime();
    EXPECT_EQ(p.date(), QDate(2024, 3, 31));
    EXPECT_EQ(p.time(), QTime(2, 30, 15));
    EXPECT_EQ(Recordset::valueText(rs->value(15), rs->field(15).type), QStringLiteral("2024-03-31 02:30:15"));
    EXPECT_EQ(rs->value(16).toDate(), QDate(2024, 1, 2));
    EXPECT_EQ(rs->value(17).toByteArray(), QByteArray("\x01\x02", 2));
    EXPECT_EQ(Recordset::valueText(rs->value(18), rs->field(18).type), QStringLiteral("AB"));
    EXPECT_EQ(rs->value(20).toString(), QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
}

TEST_F(SqliteFile, ExpressionColumnsTypedByValues)
{
    auto rs = con.execute(
        QStringLiteral("select 1 as i, 5000000000 as big, 1.5 as f, 'abc' as s, x'00ff' as b, null as n, count(*) as c"
                       " from (select 1 union all select 2)"));
    EXPECT_EQ(rs->field(0).type, DataType::Integer);
    EXPECT_EQ(rs->value(0).typeId(), QMetaType::Int);
    EXPECT_EQ(rs->field(1).type, DataType::BigInt);
    EXPECT_EQ(rs->field(2).type, DataType::Double);
    EXPECT_EQ(rs->field(3).type, DataType::VarChar);
    EXPECT_EQ(rs->field(3).definedSize, 3);
    EXPECT_EQ(rs->field(4).type, DataType::VarBinary);
    EXPECT_TRUE(isNull(rs->value(5)));
    EXPECT_EQ(rs->field(6).type, DataType::Integer);
    EXPECT_EQ(rs->value(6).toInt(), 2);
}

TEST_F(SqliteFile, NullIsDistinctFromEmptyText)
{
    con.execute(QStringLiteral(
        "create table t (id int, s varchar(10)); insert into t values (1, ''); insert into t values (2, null)"));
    auto rs = con.execute(QStringLiteral("select s from t order by id"));
    EXPECT_FALSE(isNull(rs->value(0)));
    EXPECT_EQ(rs->value(0).toString(), QString());
    rs->MoveNext();
    EXPECT_TRUE(isNull(rs->value(QStringLiteral("S"))));
}

TEST_F(SqliteFile, NonRowStatementGivesClosedRecordset)
{
    auto rs = con.execute(QStringLiteral("create table t (id int)"));
    EXPECT_EQ(rs->state(), 0);
    long affected = 0;
    rs = con.execute(QStringLiteral("insert into t values (1); insert into t values (2)"), {}, &affected);
    EXPECT_EQ(rs->state(), 0);
    EXPECT_EQ(affected, 1);
    rs = con.execute(QStringLiteral("update t set id = id + 10"), {}, &affected);
    EXPECT_EQ(affected, 2);
    EXPECT_EQ(rs->recordsAffected(), 2);
    rs = con.execute(QStringLiteral("   -- only a comment\n"));
    EXPECT_EQ(rs->state(), 0);
}

TEST_F(SqliteFile, NextRecordsetWalksABatch)
{
    auto rs = con.execute(QStringLiteral("select 1 as a, null as b;\n"
                                         "create table t (x int);\n"
                                         "insert into t values (5);\n"
                                         "select 'z' as c;\n"
                                         "select x from t where x > 100"));
    ASSERT_EQ(rs->state(), 1);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("a"));
    EXPECT_EQ(rs->GetString(QStringLiteral("\t"), QStringLiteral("\r\n"), QStringLiteral("NULL")),
        QStringLiteral("1\tNULL\r\n"));
    EXPECT_TRUE(rs->isEOF());
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->state(), 0);   // create table
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->state(), 0);   // insert
    EXPECT_EQ(rs->recordsAffected(), 1);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->state(), 1);
    EXPECT_EQ(rs->value(QStringLiteral("C")).toString(), QStringLiteral("z"));
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->state(), 1);   // a row set without rows is open and empty
    EXPECT_TRUE(rs->BOF());
    EXPECT_TRUE(rs->isEOF());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_FALSE(rs->NextRecordset());
    EXPECT_EQ(rs->state(), 0);
}

TEST_F(SqliteFile, ParametersBindUserTextSafely)
{
    con.execute(QStringLiteral("create table people (id int, name varchar(50), born datetime, pic varbinary(4))"));
    const QString name = QStringLiteral("O'Brien'); drop table people; --");
    con.execute(QStringLiteral("insert into people values (?, ?, ?, ?)"),
        {QVariant(7), QVariant(name), QVariant(QDateTime(QDate(1990, 5, 6), QTime(7, 8, 9), Qt::UTC)),
            QVariant(QByteArray("\x00\x01", 2))});
    con.execute(QStringLiteral("insert into people values (?, ?, null, null)"), {QVariant(8), QVariant()});
    auto rs = con.execute(QStringLiteral("select id, born, pic from people where name = ?"), {QVariant(name)});
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->value(0).toInt(), 7);
    EXPECT_EQ(rs->value(1).toDateTime().time(), QTime(7, 8, 9));
    EXPECT_EQ(rs->value(2).toByteArray(), QByteArray("\x00\x01", 2));
    rs = con.execute(QStringLiteral("select count(*) from people where name is null"));
    EXPECT_EQ(rs->value(0).toInt(), 1);
    // markers are counted across the statements of a batch
    rs = con.execute(QStringLiteral("update people set id = ? where id = ?; select name from people where id = ?"),
        {QVariant(70), QVariant(7), QVariant(70)});
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->value(0).toString(), name);
    // too few values
    try {
        con.execute(QStringLiteral("select ? + ?"), {QVariant(1)});
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_LT(e.number(), 0);
    }
    EXPECT_EQ(con.errors().front().sqlState, QStringLiteral("07002"));
}

TEST_F(SqliteFile, RollbackUndoesCommitKeeps)
{
    con.execute(QStringLiteral("create table t (id int)"));
    con.beginTrans();
    EXPECT_EQ(con.transactionLevel(), 1);
    con.execute(QStringLiteral("insert into t values (1)"));
    EXPECT_EQ(count(QStringLiteral("t")), 1);
    con.rollbackTrans();
    EXPECT_EQ(con.transactionLevel(), 0);
    EXPECT_EQ(count(QStringLiteral("t")), 0);
    con.beginTrans();
    con.execute(QStringLiteral("insert into t values (2)"));
    con.commitTrans();
    EXPECT_EQ(count(QStringLiteral("t")), 1);
    // a second connection sees the committed row
    Connection other;
    sqlite::openDatabaseFile(other, path);
    EXPECT_EQ(other.execute(QStringLiteral("select id from t"))->value(0).toInt(), 2);
    try {
        con.commitTrans();
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("No transaction is active."));
    }
}

TEST_F(SqliteFile, ErrorListCarriesNumberStateAndText)
{
    try {
        con.execute(QStringLiteral("selec 1"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.source(), QStringLiteral("SQLite"));
        EXPECT_EQ(e.description(), QStringLiteral("near \"selec\": syntax error"));
    }
    ASSERT_EQ(con.errors().size(), 1);
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("42000"));
    EXPECT_EQ(con.errors()[0].description, QStringLiteral("near \"selec\": syntax error"));

    try {
        con.execute(QStringLiteral("select * from missing_table"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("no such table: missing_table"));
    }
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("42S02"));

    con.execute(QStringLiteral("create table k (id int primary key)"));
    con.execute(QStringLiteral("insert into k values (1)"));
    try {
        con.execute(QStringLiteral("insert into k values (1)"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_EQ(e.number(), -19);
    }
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("23000"));
    EXPECT_EQ(con.errors()[0].nativeError, 1555);   // SQLITE_CONSTRAINT_PRIMARYKEY
    con.clearErrors();
    EXPECT_TRUE(con.errors().isEmpty());
    try {
        con.execute(QStringLiteral("insert into k values (1)"));
    } catch (const orra::Error&) {
    }
    EXPECT_EQ(con.errors().size(), 1);
    // a successful call clears the list
    con.execute(QStringLiteral("select 1"));
    EXPECT_TRUE(con.errors().isEmpty());
}

TEST_F(SqliteFile, CancelFromAnotherThreadStopsALongQuery)
{
    std::atomic<bool> done{false};
    long number = 0;
    QString state;
    bool succeeded = false;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        try {
            con.execute(
                QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000000)"
                               " select count(*) from c"));
            succeeded = true;
        } catch (const orra::Error& e) {
            number = e.number();
            state = con.errors().value(0).sqlState;
        }
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    while (!done) {
        con.cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(number, -9);
    EXPECT_EQ(state, QStringLiteral("HY008"));
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    // the connection is usable afterwards
    EXPECT_EQ(con.execute(QStringLiteral("select 41 + 1"))->value(0).toInt(), 42);
}

TEST(SqliteTypes, DeclaredTypeParsing)
{
    using sqlite::typeFromDeclared;
    EXPECT_FALSE(typeFromDeclared(nullptr).known);
    EXPECT_FALSE(typeFromDeclared("").known);
    EXPECT_FALSE(typeFromDeclared("whatever").known);
    EXPECT_EQ(typeFromDeclared("INTEGER PRIMARY KEY").type, DataType::Integer);
    EXPECT_EQ(typeFromDeclared("VarChar ( 12 )").definedSize, 12);
    EXPECT_EQ(typeFromDeclared("double precision").type, DataType::Double);
    EXPECT_EQ(typeFromDeclared("nvarchar(max)").type, DataType::LongVarWChar);
    EXPECT_EQ(typeFromDeclared("smallmoney").type, DataType::Currency);
    EXPECT_EQ(typeFromDeclared("smalldatetime").type, DataType::DBTimeStamp);
}
