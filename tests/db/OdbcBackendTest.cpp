// The ODBC backend through the real unixODBC driver manager and the SQLite ODBC driver,
// registered in a private odbcinst.ini for this process.
#include "platform/db/Connection.h"
#include "platform/db/Decimal.h"
#include "platform/db/odbc/OdbcBackend.h"
#include "platform/host/Error.h"

#include <QDateTime>
#include <sql.h>
#include <sqlext.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "tests/db/Printers.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace orra::db;

namespace {

const char* kDriverPath = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// One private ODBC configuration for the whole test process.
struct OdbcConfig {
    QTemporaryDir dir;
    OdbcConfig()
    {
        QFile ini(dir.filePath(QStringLiteral("odbcinst.ini")));
        if (ini.open(QIODevice::WriteOnly)) {
            ini.write("[OrraSQLite]\nDescription=SQLite3 for the database layer tests\nDriver=");
            ini.write(kDriverPath);
            ini.write("\n");
        }
        QFile dsn(dir.filePath(QStringLiteral("odbc.ini")));
        if (dsn.open(QIODevice::WriteOnly)) dsn.write("");
        qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toLocal8Bit());
    }
};

OdbcConfig& config()
{
    static OdbcConfig c;
    return c;
}

class OdbcSqlite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo::exists(QString::fromLatin1(kDriverPath)))
            << "the SQLite ODBC driver (Debian libsqliteodbc) is required";
        config();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("odbc.db"));
        text = QStringLiteral("Driver={OrraSQLite};Database=") + path
            + QStringLiteral(";Persist Security Info=false;OLE DB Services = -4;");
        con.open(text);
    }
    QTemporaryDir dir;
    QString path;
    QString text;
    Connection con;
};

}   // namespace

TEST(OdbcText, DriverConnectionTextMapping)
{
    qputenv("ORRA_ODBC_DRIVER", "FreeTDS");
    const auto cs =
        ConnectionString::parse(QStringLiteral("Driver={SQL Server};Server=srv;Persist Security Info=True;OLE DB "
                                               "Services = -4;;Database=mat;User ID=ali;Password=x;y"));
    EXPECT_EQ(odbc::OdbcBackend::driverConnectionText(cs, QString(), QString()),
        QStringLiteral("Driver={FreeTDS};Server=srv;Database=mat;UID=ali;PWD=x;y=;"));
    EXPECT_EQ(odbc::OdbcBackend::driverConnectionText(cs, QStringLiteral("veli"), QStringLiteral("p;w")),
        QStringLiteral("Driver={FreeTDS};Server=srv;Database=mat;UID=veli;PWD={p;w};y=;"));
    qputenv("ORRA_ODBC_DRIVER", "Other Driver");
    EXPECT_EQ(configuredOdbcDriver(), QStringLiteral("Other Driver"));
    EXPECT_EQ(odbc::OdbcBackend::driverConnectionText(
                  ConnectionString::parse(QStringLiteral(
                      "Provider=SQLOLEDB;Driver={sql server};Data Source=s;Initial Catalog=d;Trusted_Connection=Yes")),
                  QString(), QString()),
        QStringLiteral("Driver={Other Driver};Server=s;Database=d;Trusted_Connection=Yes;"));
    // An OLE DB provider's text names no driver: SQL Server through the configured one.
    EXPECT_EQ(odbc::OdbcBackend::driverConnectionText(
                  ConnectionString::parse(QStringLiteral("Provider=SQLOLEDB;Data Source=demo;Address=other;Initial "
                                                         "Catalog=sales;Integrated Security=SSPI")),
                  QString(), QString()),
        QStringLiteral("Driver={Other Driver};Server=demo;Database=sales;Trusted_Connection=Yes;"));
    qunsetenv("ORRA_ODBC_DRIVER");
}

TEST_F(OdbcSqlite, ConnectsThroughTheDriverManager)
{
    EXPECT_EQ(con.state(), 1);
    EXPECT_EQ(con.backend()->name(), QStringLiteral("ODBC"));
    // the SQLite driver names the database file as its database
    const QString catalog = con.property(QStringLiteral("Current Catalog"));
    const QString server = con.property(QStringLiteral("Server Name"));
    EXPECT_TRUE(catalog.contains(QStringLiteral("odbc")) || server.contains(QStringLiteral("odbc")))
        << catalog.toStdString() << " / " << server.toStdString();
    EXPECT_FALSE(con.property(QStringLiteral("DBMS Name")).isEmpty());
}

TEST_F(OdbcSqlite, SqlServerDriverNameMapsToTheConfiguredDriver)
{
    qputenv("ORRA_ODBC_DRIVER", "OrraSQLite");
    Connection other;
    other.open(QStringLiteral("Driver={SQL Server};Database=") + path + QStringLiteral(";Persist Security Info=True"));
    EXPECT_EQ(other.execute(QStringLiteral("select 6 * 7"))->value(0).toInt(), 42);
    qunsetenv("ORRA_ODBC_DRIVER");
}

TEST_F(OdbcSqlite, UnknownDriverFailsWithDriverManagerError)
{
    Connection other;
    try {
        other.open(QStringLiteral("Driver={No Such Driver};Server=x"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_LT(e.number(), 0);
        EXPECT_EQ(e.source(), QStringLiteral("ODBC"));
    }
    ASSERT_FALSE(other.errors().isEmpty());
    for (const auto& e : other.errors())
        EXPECT_LT(e.number, 0) << e.sqlState.toStdString() << " " << e.description.toStdString();
    EXPECT_TRUE(other.errors()[0].description.contains(QStringLiteral("No Such Driver")))
        << other.errors()[0].description.toStdString();
    EXPECT_EQ(other.state(), 0);
}

TEST_F(OdbcSqlite, ADriverIsNamedAsRegisteredNeverByItsLibrary)
{
    // A script's text must not make the run load a library of its choosing: the driver's
    // library by its path, a name the driver manager does not know, a file DSN, an extension.
    const QString database = QStringLiteral(";Database=") + path;
    const QString servers = dir.filePath(QStringLiteral("servers"));
    ASSERT_TRUE(QDir().mkpath(servers + QStringLiteral("/demo")));
    const QString master = servers + QStringLiteral("/demo/master.db");
    QFile(master).open(QIODevice::WriteOnly);
    qputenv("ORRA_SERVERS", servers.toUtf8());
    const QList<QPair<QString, QString>> refused{
        {QStringLiteral("Driver={OrraSQLite};Database=") + master,
            QStringLiteral("The connection text names a file of the embedded servers ('") + master
                + QStringLiteral("'): they are reached by their server's name.")},
        {QStringLiteral("Driver={OrraSQLite};Database=file:") + servers + QStringLiteral("/demo/new.db?mode=rwc"),
            QStringLiteral("The connection text names a file of the embedded servers ('file:") + servers
                + QStringLiteral("/demo/new.db?mode=rwc'): they are reached by their server's name.")},
        {QStringLiteral("Driver=") + QString::fromLatin1(kDriverPath) + database,
            QStringLiteral("The ODBC driver '") + QString::fromLatin1(kDriverPath)
                + QStringLiteral("' is named by a path: a driver is named as it is registered with the ODBC driver "
                                 "manager, never by its library.")},
        {QStringLiteral("Driver={No Such Driver}") + database,
            QStringLiteral("The ODBC driver 'No Such Driver' is not registered with the ODBC driver manager.")},
        {QStringLiteral("DSN=x;FILEDSN=") + dir.filePath(QStringLiteral("x.dsn")),
            QStringLiteral("The connection text may not name a file with 'FILEDSN='.")},
        {QStringLiteral("Driver={OrraSQLite};LoadExt=") + QString::fromLatin1(kDriverPath) + database,
            QStringLiteral("The connection text may not name a file with 'LoadExt='.")},
    };
    for (const auto& [text, message] : refused) {
        Connection other;
        try {
            other.open(text);
            ADD_FAILURE() << text.toStdString();
        } catch (const orra::Error& e) {
            EXPECT_EQ(e.description(), message);
            EXPECT_EQ(e.source(), QStringLiteral("ODBC"));
        }
        ASSERT_EQ(other.errors().size(), 1);
        EXPECT_EQ(other.errors()[0].sqlState, QStringLiteral("IM002"));
        EXPECT_EQ(other.state(), 0);
    }
    qunsetenv("ORRA_SERVERS");
    // the registered name in another letter case is the same driver
    Connection same;
    same.open(QStringLiteral("Driver={orrasqlite}") + database);
    EXPECT_EQ(same.state(), 1);
}

TEST_F(OdbcSqlite, TypesNullsAndDefinedSizes)
{
    con.execute(QStringLiteral("create table t (a integer, b smallint, d bigint, f double, k varchar(30), c char(4),"
                               " l text, p timestamp, q date, s blob)"));
    con.execute(QStringLiteral("insert into t values (1, 2, 9000000000, 1.5, 'def', 'ab', 'long text',"
                               " '2024-01-02 03:04:05', '2024-01-02', x'4100')"));
    con.execute(QStringLiteral("insert into t values (null, null, null, null, '', null, null, null, null, null)"));
    auto rs = con.execute(QStringLiteral("select * from t order by a desc"));
    ASSERT_EQ(rs->RecordCount(), 2);
    ASSERT_EQ(rs->fieldCount(), 10);
    EXPECT_EQ(rs->field(0).name, QStringLiteral("a"));
    EXPECT_EQ(rs->field(0).type, DataType::Integer);
    EXPECT_EQ(rs->field(1).type, DataType::SmallInt);
    EXPECT_EQ(rs->field(2).type, DataType::BigInt);
    EXPECT_EQ(rs->field(3).type, DataType::Double);
    EXPECT_EQ(rs->field(4).type, DataType::VarChar);
    EXPECT_EQ(rs->field(4).definedSize, 30);
    EXPECT_TRUE(isTextType(rs->field(5).type));   // this driver reports char(n) as varchar
    EXPECT_EQ(rs->field(5).definedSize, 4);
    EXPECT_EQ(rs->field(7).type, DataType::DBTimeStamp);
    EXPECT_EQ(rs->field(8).type, DataType::DBDate);
    EXPECT_TRUE(isBinaryType(rs->field(9).type));
    EXPECT_EQ(rs->value(0).toInt(), 1);
    EXPECT_EQ(rs->value(2).toLongLong(), 9000000000LL);
    EXPECT_EQ(rs->value(3).toDouble(), 1.5);
    EXPECT_EQ(rs->value(4).toString(), QStringLiteral("def"));
    EXPECT_EQ(rs->value(6).toString(), QStringLiteral("long text"));
    EXPECT_EQ(rs->value(7).toDateTime(), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_EQ(rs->value(8).toDate(), QDate(2024, 1, 2));
    EXPECT_EQ(rs->value(9).toByteArray(), QByteArray("A\0", 2));
    rs->MoveNext();
    EXPECT_TRUE(isNull(rs->value(0)));
    EXPECT_TRUE(isNull(rs->value(3)));
    EXPECT_FALSE(isNull(rs->value(4)));
    EXPECT_EQ(rs->value(4).toString(), QString());
    EXPECT_TRUE(isNull(rs->value(6)));
    EXPECT_TRUE(isNull(rs->value(7)));
    EXPECT_TRUE(isNull(rs->value(9)));
}

TEST_F(OdbcSqlite, LongAndNonAsciiTextSurvive)
{
    con.execute(QStringLiteral("create table t (s text)"));
    const QString turkish = QStringLiteral("İğüşöç ĞÜŞÖÇı");
    QString longText;
    for (int i = 0; i < 3000; ++i) longText += turkish;
    con.execute(QStringLiteral("insert into t values (?)"), {QVariant(longText)});
    auto rs = con.execute(QStringLiteral("select s from t"));
    EXPECT_EQ(rs->value(0).toString(), longText);
}

TEST_F(OdbcSqlite, ParametersWithQuotesAndNulls)
{
    con.execute(QStringLiteral("create table people (id integer, name varchar(50), born timestamp)"));
    const QString name = QStringLiteral("O'Brien'); drop table people; --");
    con.execute(QStringLiteral("insert into people values (?, ?, ?)"),
        {QVariant(7), QVariant(name), QVariant(QDateTime(QDate(1990, 5, 6), QTime(7, 8, 9), Qt::UTC))});
    con.execute(QStringLiteral("insert into people values (?, ?, ?)"), {QVariant(8), QVariant(), QVariant()});
    auto rs = con.execute(QStringLiteral("select id, born from people where name = ?"), {QVariant(name)});
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->value(0).toInt(), 7);
    EXPECT_EQ(rs->value(1).toDateTime().date(), QDate(1990, 5, 6));
    rs = con.execute(QStringLiteral("select count(*) from people where name is null"));
    EXPECT_EQ(rs->value(0).toInt(), 1);
    rs = con.execute(QStringLiteral("select count(*) from people"));
    EXPECT_EQ(rs->value(0).toInt(), 2);
}

TEST_F(OdbcSqlite, NonRowStatementsAndRowCounts)
{
    auto rs = con.execute(QStringLiteral("create table t (id integer)"));
    EXPECT_EQ(rs->state(), 0);
    con.execute(QStringLiteral("insert into t values (1)"));
    con.execute(QStringLiteral("insert into t values (2)"));
    long affected = -5;
    rs = con.execute(QStringLiteral("update t set id = id + 1"), {}, &affected);
    EXPECT_EQ(rs->state(), 0);
    EXPECT_EQ(affected, 2);
    rs = con.execute(QStringLiteral("select id from t where id > 100"));
    EXPECT_EQ(rs->state(), 1);
    EXPECT_TRUE(rs->BOF() && rs->isEOF());
}

TEST_F(OdbcSqlite, RollbackUndoesCommitKeeps)
{
    con.execute(QStringLiteral("create table t (id integer)"));
    con.beginTrans();
    con.execute(QStringLiteral("insert into t values (1)"));
    con.rollbackTrans();
    EXPECT_EQ(con.execute(QStringLiteral("select count(*) from t"))->value(0).toInt(), 0);
    con.beginTrans();
    con.execute(QStringLiteral("insert into t values (2)"));
    con.commitTrans();
    EXPECT_EQ(con.execute(QStringLiteral("select count(*) from t"))->value(0).toInt(), 1);
    // autocommit is back on: a second connection sees a later insert at once
    con.execute(QStringLiteral("insert into t values (3)"));
    Connection other;
    other.open(text);
    EXPECT_EQ(other.execute(QStringLiteral("select count(*) from t"))->value(0).toInt(), 2);
}

TEST_F(OdbcSqlite, ErrorsCarrySqlStateAndText)
{
    try {
        con.execute(QStringLiteral("select * from missing_table"));
        FAIL();
    } catch (const orra::Error& e) {
        EXPECT_LT(e.number(), 0);
        EXPECT_TRUE(e.description().contains(QStringLiteral("no such table"))) << e.description().toStdString();
        EXPECT_EQ(e.source(), QStringLiteral("ODBC"));
    }
    ASSERT_FALSE(con.errors().isEmpty());
    EXPECT_EQ(con.errors()[0].sqlState.size(), 5);
    EXPECT_EQ(con.errors()[0].sqlState, QStringLiteral("HY000"));
    EXPECT_LT(con.errors()[0].number, 0);
    con.execute(QStringLiteral("select 1"));
    EXPECT_TRUE(con.errors().isEmpty());
}

TEST_F(OdbcSqlite, CancelFromAnotherThreadStopsALongQuery)
{
    std::atomic<bool> done{false};
    bool succeeded = false;
    QString state;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        try {
            con.execute(
                QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000000)"
                               " select count(*) from c"));
            succeeded = true;
        } catch (const orra::Error&) {
            state = con.errors().value(0).sqlState;
        }
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    while (!done) {
        con.cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(state, QStringLiteral("HY008"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(con.execute(QStringLiteral("select 41 + 1"))->value(0).toInt(), 42);
}

TEST_F(OdbcSqlite, DiagnosticsOfWarningsAreMessagesAndOfFailuresErrors)
{
    // a real driver-manager handle, with a truncation warning (01004) and then a failure
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)));
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)));
    const QByteArray connText = (QStringLiteral("Driver={OrraSQLite};Database=") + path).toUtf8();
    ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnect(
        dbc, nullptr, (SQLCHAR*)connText.constData(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
    SQLHSTMT stmt = nullptr;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"select 'abcdef'", SQL_NTS)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt)));
    SQLCHAR small[3];
    SQLLEN ind = 0;
    ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, small, sizeof small, &ind), SQL_SUCCESS_WITH_INFO);
    const auto messages = odbc::OdbcBackend::diagnostics(SQL_HANDLE_STMT, stmt, true);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages[0].number, 0);
    EXPECT_EQ(messages[0].sqlState, QStringLiteral("01004"));
    // the same warning left on a failed call counts as its error
    const auto errors = odbc::OdbcBackend::diagnostics(SQL_HANDLE_STMT, stmt, false);
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_LT(errors[0].number, 0);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);

    stmt = nullptr;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)));
    EXPECT_EQ(SQLExecDirect(stmt, (SQLCHAR*)"select * from nowhere", SQL_NTS), SQL_ERROR);
    const auto failure = odbc::OdbcBackend::diagnostics(SQL_HANDLE_STMT, stmt, false);
    ASSERT_EQ(failure.size(), 1);
    EXPECT_EQ(failure[0].sqlState, QStringLiteral("HY000"));
    EXPECT_LT(failure[0].number, 0);
    EXPECT_TRUE(failure[0].description.contains(QStringLiteral("no such table: nowhere")));
    EXPECT_EQ(failure[0].source, QStringLiteral("ODBC"));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

TEST_F(OdbcSqlite, ReportedTextHoldsTheLoginAndPersistedPassword)
{
    Connection persisted;
    persisted.open(
        QStringLiteral("Driver={OrraSQLite};Database=") + path + QStringLiteral(";Persist Security Info=True;"),
        QStringLiteral("ali"), QStringLiteral("s;cret"));
    const auto cs = ConnectionString::parse(persisted.connectionString());
    EXPECT_EQ(cs.value(QStringLiteral("UID")), QStringLiteral("ali"));
    EXPECT_EQ(cs.value(QStringLiteral("PWD")), QStringLiteral("s;cret"));
    // the reported text opens the same connection again
    Connection again;
    again.open(persisted.connectionString() + QStringLiteral(";OLE DB Services = -4;"));
    EXPECT_EQ(again.execute(QStringLiteral("select 1"))->value(0).toInt(), 1);

    Connection notPersisted;
    notPersisted.open(
        QStringLiteral("Driver={OrraSQLite};Database=") + path + QStringLiteral(";Persist Security Info=false"),
        QStringLiteral("ali"), QStringLiteral("secret"));
    const auto cs2 = ConnectionString::parse(notPersisted.connectionString());
    EXPECT_EQ(cs2.value(QStringLiteral("UID")), QStringLiteral("ali"));
    EXPECT_FALSE(cs2.contains(QStringLiteral("PWD")));
    EXPECT_FALSE(notPersisted.connectionString().contains(QStringLiteral("secret")));
}

TEST_F(OdbcSqlite, DecimalColumnsComeBackExact)
{
    con.execute(QStringLiteral("create table m (d decimal(10,2), n numeric(12,4))"));
    con.execute(QStringLiteral("insert into m values (19.99, 1.1), (76473.75, 2.2), (0.1, 0.0001)"));
    // this driver describes decimal(10,2) as varchar(10) and numeric as double, by their names
    auto rs = con.execute(QStringLiteral("select d, n from m order by d"));
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->field(0).type, DataType::Numeric);
    EXPECT_EQ(rs->field(0).precision, 10);
    EXPECT_EQ(rs->field(1).type, DataType::Numeric);
    ASSERT_TRUE(isDecimal(rs->value(0)));
    EXPECT_EQ(decimalOf(rs->value(0)), *Decimal::parse(QStringLiteral("0.1")));
    EXPECT_EQ(decimalOf(rs->value(1)), *Decimal::parse(QStringLiteral("0.0001")));
    EXPECT_EQ(Recordset::valueText(rs->value(1), rs->field(1).type), QStringLiteral("0.0001"));
    rs->MoveLast();
    EXPECT_EQ(Recordset::valueText(rs->value(0), rs->field(0).type), QStringLiteral("76473.75"));
    // a decimal bound as a parameter is compared exactly
    auto found = con.execute(QStringLiteral("select count(*) from m where d = ?"),
        {decimalVariant(*Decimal::parse(QStringLiteral("19.99")))});
    EXPECT_EQ(found->value(0).toInt(), 1);
}
