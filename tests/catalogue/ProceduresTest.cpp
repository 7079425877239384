// The catalogue's stored procedures on a real embedded server: their results, their errors
// and the document locks they keep across sessions and processes.
#include "../embedded/ShapesFixture.h"

#include <QDate>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace orra;
using namespace orra::embedded;
using namespace orra::embedded::test;

namespace {

const char* kLock0 = "sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"catalogue\"/><Parameter Name=\"DocID\" "
                     "Value=\"%1\"/></Document>',0";
const char* kLock1 = "sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"catalogue\"/><Parameter Name=\"DocID\" "
                     "Value=\"%1\"/></Document>',1";

QString lock(int id) { return QString::fromLatin1(kLock0).arg(id); }
QString unlock(int id) { return QString::fromLatin1(kLock1).arg(id); }

}   // namespace

TEST_F(Shapes, DocumentsAndCategoriesProcedure)
{
    c->execute(QStringLiteral("insert into catalogue..tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                              "3,5,'Child','T',0,suser_sid()"));
    c->execute(QStringLiteral("insert into catalogue..tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                              "5,0,'Top','T',0,suser_sid()"));
    db::RecordsetPtr rs = c->execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories default"));
    ASSERT_TRUE(rs->isOpen());
    EXPECT_EQ(rs->field(0).name, QStringLiteral("CatID"));
    EXPECT_EQ(rs->field(1).name, QStringLiteral("DocID"));
    EXPECT_EQ(rs->field(2).name, QStringLiteral("DocName"));
    EXPECT_EQ(rs->field(3).name, QStringLiteral("DocDisabled"));
    EXPECT_EQ(rs->RecordCount(), 3);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->field(0).name, QStringLiteral("ID"));
    EXPECT_EQ(rs->field(1).name, QStringLiteral("ParentID"));
    EXPECT_EQ(int(rs->field(3).type), 11);
    QList<int> seen;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        const int parent = rs->value(1).toInt();
        EXPECT_TRUE(parent == 0 || seen.contains(parent))
            << "category " << rs->value(0).toInt() << " before its parent";
        seen << rs->value(0).toInt();
    }
    EXPECT_EQ(seen.size(), 4);
    // Without exec, and limited to a subtree.
    rs = c->execute(QStringLiteral("sp_Orra_GetDocumentsAndCategories 1"));
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->NextRecordset();
    EXPECT_EQ(rs->RecordCount(), 2);
}

namespace {

// The rows of the current result set, one "a|b|…" line each, fixed-width text as it comes.
QStringList rowsOf(db::Recordset& rs)
{
    QStringList rows;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs.fieldCount(); ++i) row << rs.value(i).toString();
        rows << row.join(u'|');
    }
    return rows;
}

}   // namespace

TEST_F(Shapes, DocumentsAndCategoriesRowsInTheDesignersOrder)
{
    // 4 under 2, 6 under 4, 7 under a missing parent, 8 and 9 a loop.
    for (const char* row : {"4,2,'Four'", "6,4,'Six'", "7,70,'Orphan'", "8,9,'LoopA'", "9,8,'LoopB'", "5,0,'Five'"})
        c->execute(QStringLiteral(
            "insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select %1,'T',0,suser_sid()")
                       .arg(QString::fromLatin1(row)));
    c->execute(QStringLiteral("insert into tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                              "select 4,6,'Deep','','T',1,'',suser_sid()"));
    db::RecordsetPtr rs = c->execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories"));
    auto name = [](const char* n) { return QString::fromLatin1(n).leftJustified(50, u' '); };
    EXPECT_EQ(rowsOf(*rs),
        (QStringList{QStringLiteral("1|1|") + name("Document-1") + QStringLiteral("|false"),
            QStringLiteral("1|2|") + name("Document-2") + QStringLiteral("|false"),
            QStringLiteral("2|3|") + name("Document-3") + QStringLiteral("|false"),
            QStringLiteral("6|4|") + name("Deep") + QStringLiteral("|true")}));
    ASSERT_TRUE(rs->NextRecordset());
    QStringList ids;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) ids << rs->value(QStringLiteral("ID")).toString();
    // Breadth-first from the top, then what hangs from nothing, in table order.
    EXPECT_EQ(ids, (QStringList{"1", "5", "2", "4", "6", "7", "8", "9"}));
    EXPECT_FALSE(rs->NextRecordset());

    // A subtree: the category itself first, its documents and those below it only.
    rs = c->execute(QStringLiteral("exec sp_Orra_GetDocumentsAndCategories @CategoryID = 2"));
    EXPECT_EQ(rowsOf(*rs),
        (QStringList{QStringLiteral("2|3|") + name("Document-3") + QStringLiteral("|false"),
            QStringLiteral("6|4|") + name("Deep") + QStringLiteral("|true")}));
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rowsOf(*rs),
        (QStringList{QStringLiteral("2|1|") + name("Category-2") + QStringLiteral("|true"),
            QStringLiteral("4|2|") + name("Four") + QStringLiteral("|false"),
            QStringLiteral("6|4|") + name("Six") + QStringLiteral("|false")}));
    // A category that does not exist: nothing, and no loop of the orphans either.
    rs = c->execute(QStringLiteral("sp_Orra_GetDocumentsAndCategories 70"));
    EXPECT_EQ(rs->RecordCount(), 0);
    ASSERT_TRUE(rs->NextRecordset());
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(Shapes, CatalogueProcedureErrorsCarryTheServersNumbers)
{
    struct Case {
        const char* call;
        const char* message;
        long number;
    };
    const Case cases[] = {
        {"exec sp_Orra_GetDocumentsAndCategories 1, 2",
            "Procedure or function sp_Orra_GetDocumentsAndCategories has too many arguments specified.", 8144},
        {"exec sp_UserLock '<Document/>'",
            "Procedure or function 'sp_UserLock' expects parameters '@LockXml' and '@Mode'.", 201},
        {"exec sp_UserLock default, 0",
            "Procedure or function 'sp_UserLock' expects parameters '@LockXml' and '@Mode'.", 201},
        {"exec sp_UserLock '<Document><Parameter Name=\"DocID\" Value=\"x\"/></Document>', 0",
            "sp_UserLock: the lock information is not valid.", 50000},
        {"exec sp_UserLock '<Document><Parameter Name=\"DocID\" Value=\"1\"/>', 0",
            "sp_UserLock: the lock information is not valid.", 50000},
    };
    for (const Case& k : cases) {
        EXPECT_THROW(c->execute(QString::fromLatin1(k.call)), orra::Error) << k.call;
        ASSERT_FALSE(c->errors().isEmpty()) << k.call;
        EXPECT_EQ(c->errors().first().description, QString::fromLatin1(k.message)) << k.call;
        EXPECT_EQ(c->errors().first().nativeError, k.number) << k.call;
        EXPECT_EQ(c->errors().first().sqlState, QStringLiteral("42000")) << k.call;
    }
    EXPECT_EQ(scalar(*c, QStringLiteral("select count(*) from tbOrraLocks")).toInt(), 0);
    // The lock row names the session, its program and the time.
    c->execute(QStringLiteral("exec SP_USERLOCK '<Document><Program Name=\"Dornel\"/><Parameter Name=\"DocID\" "
                              "Value=\" 12 \"/></Document>', 0"));
    db::RecordsetPtr rs =
        c->execute(QStringLiteral("select DocID, SPID, LoginName, Program, LockTime from tbOrraLocks"));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->value(0).toInt(), 12);
    EXPECT_EQ(rs->value(1).toInt(), scalar(*c, QStringLiteral("select @@SPID")).toInt());
    EXPECT_EQ(rs->value(2).toString(), QStringLiteral("sa"));
    EXPECT_EQ(rs->value(3).toString(), QStringLiteral("Dornel"));
    EXPECT_EQ(rs->value(4).toString().left(10), QDate::currentDate().toString(Qt::ISODate));
}

TEST_F(EmbeddedTest, LocksAcrossTwoConnections)
{
    auto a = connect();
    auto b = connect();
    a->execute(lock(7));
    a->execute(lock(7));   // taking one's own lock again is fine
    const int sa = scalar(*a, QStringLiteral("select @@SPID")).toInt();
    try {
        b->execute(lock(7));
        FAIL() << "lock taken twice";
    } catch (const orra::Error& e) {
        EXPECT_TRUE(e.description().startsWith(
            QStringLiteral("The document 7 is locked by 'sa' (process %1, Morvane) since ").arg(sa)))
            << e.what();
    }
    b->execute(unlock(7));   // not b's lock: nothing changes
    EXPECT_THROW(b->execute(lock(7)), orra::Error);
    b->execute(lock(8));   // another document is free
    a->execute(unlock(7));
    b->execute(lock(7));
    EXPECT_EQ(scalar(*b, QStringLiteral("select count(*) from tbOrraLocks where SPID=@@SPID")).toInt(), 2);
    // The session that holds a lock ends: the lock is taken over.
    b->close();
    a->execute(lock(8));
}

TEST_F(EmbeddedTest, LocksAcrossTwoProcesses)
{
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(toChild[1]);
        ::close(toParent[0]);
        alarm(60);   // never outlive a parent that is gone
        char ok = 'n';
        db::Connection c;   // stays open until the process ends
        try {
            c.open(connectionText(
                QStringLiteral("t"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("secret")));
            c.execute(lock(42));
            ok = 'y';
        } catch (...) {
        }
        if (write(toParent[1], &ok, 1) != 1) _exit(2);
        char go;
        if (read(toChild[0], &go, 1) != 1) _exit(3);
        _exit(0);   // ends without closing: the session dies with the process
    }
    ::close(toChild[0]);
    ::close(toParent[1]);
    char ok = 0;
    ASSERT_EQ(read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    auto c = connect();
    EXPECT_THROW(c->execute(lock(42)), orra::Error);
    ASSERT_FALSE(c->errors().isEmpty());
    EXPECT_TRUE(c->errors().first().description.contains(QStringLiteral("is locked by 'sa' (process 51, Morvane)")));
    EXPECT_EQ(scalar(*c, QStringLiteral("select @@SPID")).toInt(), 52);   // 51 is the other process's
    const char go = 'g';
    ASSERT_EQ(write(toChild[1], &go, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    c->execute(lock(42));   // the holder's process has ended
    EXPECT_EQ(scalar(*c, QStringLiteral("select SPID from tbOrraLocks where DocID=42")).toInt(),
        scalar(*c, QStringLiteral("select @@SPID")).toInt());
    ::close(toChild[1]);
    ::close(toParent[0]);
}
