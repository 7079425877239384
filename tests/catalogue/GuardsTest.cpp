// What the embedded server enforces on the catalogue's tables for a login that does not own
// the catalogue database: hand-written statements get no further than the designer's checks,
// even with the row's checksum recomputed, and the designer's own statements pass for a login
// that holds the rights.
#include "common/Crc32.h"
#include "common/Permissions.h"
#include "tests/common/CatalogueFixture.h"

using namespace orra;

namespace {

const QString kLock = QStringLiteral("sp_UserLock '<Document><Program Name=\"Morvane\" DB=\"cat\"/><Parameter "
                                     "Name=\"DocID\" Value=\"10\"/></Document>',%1");

class CatalogueGuards : public test::CatalogueTest {
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        bob = addUser(QStringLiteral("bob"));
        carl = addUser(QStringLiteral("carl"));
        addCategory(1, 0, QStringLiteral("Reports"));
        addDocument(10, 1, QStringLiteral("Payroll"), QStringLiteral("<Document ID=\"B0\"/>"));
    }

    // The error a statement fails with ("" when it runs); its number in *number.
    static QString refusal(
        db::Connection& c, const QString& sql, const QList<db::Parameter>& params = {}, long* number = nullptr)
    {
        try {
            c.execute(sql, params);
        } catch (const Error&) {
            if (number) *number = c.errors().isEmpty() ? 0 : c.errors().first().nativeError;
            return c.errors().isEmpty() ? QStringLiteral("(no error text)") : c.errors().first().description;
        }
        return QString();
    }
    static QString denied(const char* verb, const char* table)
    {
        return QStringLiteral("The %1 permission was denied on the object '%2', database 'cat', schema 'dbo'.")
            .arg(QLatin1String(verb), QLatin1String(table));
    }
    static QString permissionRow(long doc, long uid, long allow, long deny)
    {
        return QStringLiteral("insert into tbOrraDocPermissions(OrraID,UserId,Allow,[Deny],CheckSum)\r\nselect "
                              "%1,%2,%3,%4,%5")
            .arg(doc)
            .arg(uid)
            .arg(allow)
            .arg(deny)
            .arg(PermissionRowCheckSum(doc, uid, allow, deny));
    }
    // The statement that writes sqlText into document doc with the checksum the row then has.
    QString stampedText(const QString& sqlText, long doc = 10)
    {
        const QString update = QStringLiteral("update tbOrraSQL set SQLtxt='") + sqlText
            + QStringLiteral("'%1 where ID=") + QString::number(doc);
        admin->beginTrans();
        admin->execute(update.arg(QString()));
        const int32_t sum =
            RowCheckSum(*admin->execute(QStringLiteral("select * from tbOrraSQL where ID=%1").arg(doc)));
        admin->rollbackTrans();
        return update.arg(QStringLiteral(", CheckSum=%1").arg(sum));
    }

    long bob = 0, carl = 0;
};

}   // namespace

TEST_F(CatalogueGuards, AHandWrittenPermissionRowIsRefusedWithItsChecksum)
{
    allowDoc(10, bob, rightEdit, rightExecute);
    auto b = connectAs(QStringLiteral("bob"));
    long number = 0;
    EXPECT_EQ(
        refusal(*b, QStringLiteral("delete tbOrraDocPermissions where OrraID=10 and UserId=%1").arg(bob), {}, &number),
        denied("DELETE", "tbOrraDocPermissions"));
    EXPECT_EQ(number, 229);
    EXPECT_EQ(
        refusal(*b, permissionRow(10, bob, rightEdit | rightExecute, 0)), denied("INSERT", "tbOrraDocPermissions"));
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("update tbOrraDocPermissions set [Deny]=0, CheckSum=%1 where OrraID=10 and UserId=%2")
                      .arg(PermissionRowCheckSum(10, bob, rightEdit, 0))
                      .arg(bob)),
        denied("UPDATE", "tbOrraDocPermissions"));
    EXPECT_FALSE(HasDocPermission(b.get(), 10, 0, rightExecute));

    // A Secondary Owner applies a principal's row as the permissions page does, its own too,
    // but only the owner gives or takes the Secondary Owner right.
    allowDoc(10, carl, rightSecondaryOwner | rightEdit, 0);
    auto c = connectAs(QStringLiteral("carl"));
    const QString remove = QStringLiteral("delete tbOrraDocPermissions where OrraID=10 and UserId=%1");
    for (const auto& [uid, allow] :
        {std::pair{bob, long(rightEdit | rightExecute)}, std::pair{carl, long(rightSecondaryOwner | rightEdit)}}) {
        c->beginTrans();
        EXPECT_EQ(refusal(*c, remove.arg(uid)), QString());
        EXPECT_EQ(refusal(*c, permissionRow(10, uid, allow, 0)), QString());
        c->commitTrans();
    }
    EXPECT_TRUE(HasDocPermission(b.get(), 10, 0, rightExecute));
    c->beginTrans();
    EXPECT_EQ(refusal(*c, remove.arg(bob)), QString());
    EXPECT_EQ(refusal(*c, permissionRow(10, bob, rightSecondaryOwner, 0)), denied("INSERT", "tbOrraDocPermissions"));
    c->rollbackTrans();

    // The database's owners keep full access.
    admin->execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'bob'"));
    auto owner = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(refusal(*owner, remove.arg(carl)), QString());
    EXPECT_EQ(refusal(*admin, permissionRow(10, carl, rightSecondaryOwner, 0)), QString());
}

TEST_F(CatalogueGuards, DocumentTextAndOwnersAreRefusedWithoutTheRight)
{
    allowDoc(10, bob, rightEdit | rightExecute, 0);
    auto b = connectAs(QStringLiteral("bob"));
    const QString evil = QStringLiteral("<Document ID=\"B0\"><![CDATA[drop table Salaries]]></Document>");
    EXPECT_EQ(refusal(*b, stampedText(evil)), denied("UPDATE", "tbOrraSQL"));
    EXPECT_EQ(
        refusal(*b, QStringLiteral("update tbOrraSQL set CheckSum=1 where ID=10")), denied("UPDATE", "tbOrraSQL"));
    EXPECT_EQ(refusal(*b, QStringLiteral("update tbOrraSQL set Owner=suser_sid() where ID=10")),
        denied("UPDATE", "tbOrraSQL"));
    EXPECT_EQ(refusal(*b, QStringLiteral("update tbOrraCategory set Owner=suser_sid() where ID=1")),
        denied("UPDATE", "tbOrraCategory"));
    EXPECT_EQ(refusal(*b, QStringLiteral("delete tbOrraSQL where ID=10")), denied("DELETE", "tbOrraSQL"));
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                                 "2,1,'Mine','T',0,suser_sid()")),
        denied("INSERT", "tbOrraCategory"));
    // A category of its own, at the top, anybody may make, but only as its owner.
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                                 "3,0,'Theirs','T',0,?"),
                  {embedded::loginSid(server(), QStringLiteral("sa"))}),
        denied("INSERT", "tbOrraCategory"));
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                                 "3,0,'Mine','T',0,suser_sid()")),
        QString());

    // With the Change right the designer's save goes through.
    admin->execute(QStringLiteral("delete tbOrraDocPermissions where OrraID=10"));
    allowDoc(10, bob, rightEdit | rightChange, 0);
    EXPECT_EQ(refusal(*b, stampedText(evil)), QString());
    // (the checksum the statements wrote is the row's own: only the right was missing)
    db::RecordsetPtr row = admin->execute(QStringLiteral("select * from tbOrraSQL where ID=10"));
    EXPECT_EQ(RowCheckSum(*row), row->value(QStringLiteral("CheckSum")).toInt());
}

TEST_F(CatalogueGuards, CallSchemaValuesNeedTheDocumentsChangeRight)
{
    admin->execute(QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (10, 1, "
                                  "'Monthly', null)"));
    admin->execute(QStringLiteral("insert into tbOrraCallSchemaDetail values (1, 'B0.0.P_Who', 'x')"));
    allowDoc(10, bob, rightEdit | rightExecute, 0);
    auto b = connectAs(QStringLiteral("bob"));
    const QString value = QStringLiteral("update tbOrraCallSchemaDetail set ParamVal='x''; drop table Salaries --' "
                                         "where ParentID=1");
    EXPECT_EQ(refusal(*b, value), denied("UPDATE", "tbOrraCallSchemaDetail"));
    EXPECT_EQ(refusal(*b, QStringLiteral("insert into tbOrraCallSchemaDetail values (1, 'B0.0.P_Other', 'y')")),
        denied("INSERT", "tbOrraCallSchemaDetail"));
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values "
                                 "(10, 2, 'Mine', null)")),
        denied("INSERT", "tbOrraCallSchema"));
    EXPECT_EQ(refusal(*b, QStringLiteral("delete tbOrraCallSchema where ID=1")), denied("DELETE", "tbOrraCallSchema"));

    admin->execute(QStringLiteral("delete tbOrraDocPermissions where OrraID=10"));
    allowDoc(10, bob, rightEdit | rightChange, 0);
    EXPECT_EQ(refusal(*b, value), QString());
}

TEST_F(CatalogueGuards, AnotherSessionsLockRowIsRefused)
{
    auto b = connectAs(QStringLiteral("bob"));
    auto c = connectAs(QStringLiteral("carl"));
    ASSERT_EQ(refusal(*b, kLock.arg(0)), QString());
    EXPECT_EQ(refusal(*c, QStringLiteral("delete from tbOrraLocks")), denied("DELETE", "tbOrraLocks"));
    EXPECT_EQ(refusal(*c, QStringLiteral("update tbOrraLocks set LoginName='carl'")), denied("UPDATE", "tbOrraLocks"));
    EXPECT_FALSE(refusal(*c, kLock.arg(0)).isEmpty());   // still bob's
    EXPECT_EQ(scalar(*admin, QStringLiteral("select LoginName from tbOrraLocks where DocID=10")).toString(),
        QStringLiteral("bob"));
    // Its own session may let it go by hand; then the procedure gives it to another.
    EXPECT_EQ(refusal(*b, QStringLiteral("delete from tbOrraLocks where DocID=10")), QString());
    EXPECT_EQ(refusal(*c, kLock.arg(0)), QString());
    EXPECT_EQ(refusal(*c, kLock.arg(1)), QString());
}

TEST_F(CatalogueGuards, TheGuardsCannotBeCalledOrGoneAround)
{
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(refusal(*b, QStringLiteral("select orra_row_guard('tbOrraDocPermissions', 3, 10, %1, 1, 0, 0)").arg(bob)),
        QStringLiteral("'orra_row_guard' is not a recognized built-in function name."));
    // From another database the catalogue's rows are written by its owners only.
    embedded::createUser(server(), QStringLiteral("mat"), QStringLiteral("bob"), QStringLiteral("bob"));
    db::Connection mat;
    mat.open(
        embedded::connectionText(server(), QStringLiteral("mat"), QStringLiteral("bob"), QStringLiteral("pw_bob")));
    EXPECT_EQ(refusal(mat,
                  permissionRow(10, bob, rightExecute, 0)
                      .replace(QStringLiteral("into tbOrra"), QStringLiteral("into cat..tbOrra"))),
        denied("INSERT", "tbOrraDocPermissions"));
}

namespace {

// Document 20, a top category's report of bob's own, and the Payroll (10) that bob is denied.
class IncludeGuards : public CatalogueGuards {
protected:
    void SetUp() override
    {
        CatalogueGuards::SetUp();
        addCategory(5, 0, QStringLiteral("Mine"), QStringLiteral("bob"));
        addDocument(20, 5, QStringLiteral("Summary"), kPlain, QStringLiteral("bob"));
        allowDoc(10, bob, 0, 127);
    }
    static QString text(long doc) { return text(QStringLiteral("Include"), QString::number(doc)); }
    static QString text(const QString& tag, const QString& docId)
    {
        return QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\" Name=\"Totals\"><%1 ID=\"B0.0.I0\" "
                              "Name=\"Include:Payroll\" DocID=\"%2\"/></Block></Document>")
            .arg(tag, docId);
    }
    QString storedText(long doc)
    {
        return scalar(*admin, QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(doc)).toString();
    }
    static QString relation(long includer, long included)
    {
        return QStringLiteral("insert into cat..tbOrraRelations(ObjId,RelObjId) values(%1,%2)").arg(includer).arg(included);
    }
    static inline const QString kPlain = QStringLiteral("<Document ID=\"B0\"/>");
    static inline const QString kCopy = QStringLiteral(
        "insert into cat..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) select %1,5,'Copy of "
        "it',x.[Description], x.[Type], x.[Disabled], x.[SQLtxt],suser_sid() from cat..tbOrraSQL x where x.[ID]=%2");
};

}   // namespace

TEST_F(IncludeGuards, AnIncludeIsAddedOnlyWithTheIncludeRightOnTheIncludedDocument)
{
    auto b = connectAs(QStringLiteral("bob"));
    // However the include is spelled for the expansion, its own document's owner may not add it.
    for (const QString& written : {text(10), text(QStringLiteral("IInclude"), QStringLiteral(" +10 ")),
             QStringLiteral("<Document ID=\"B0\"><Include ID=\"B0.I0\" DocID=\"20\"><Document ID=\"B0.I0|B0\">"
                            "<Include ID=\"B0.I0|B0.I0\" DocID=\"10\"/></Document></Include></Document>")}) {
        long number = 0;
        EXPECT_EQ(refusal(*b, stampedText(written, 20), {}, &number), denied("UPDATE", "tbOrraSQL")) << written.toStdString();
        EXPECT_EQ(number, 229);
    }
    EXPECT_EQ(storedText(20), kPlain);
    EXPECT_EQ(refusal(*b,
                  QStringLiteral("insert into tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                 "select 21,5,'Mine','','T',0,?,suser_sid()"),
                  {text(10)}),
        denied("INSERT", "tbOrraSQL"));

    // An author who holds the Include right puts it there; the report keeps its include when
    // its owner changes the rest of it. A copy adds it to another document: only with the right.
    allowDoc(20, carl, rightEdit | rightChange, 0);
    allowDoc(10, carl, rightInclude, 0);
    allowCategory(5, carl, rightAddNewDocument, 0);
    auto c = connectAs(QStringLiteral("carl"));
    EXPECT_EQ(refusal(*c, stampedText(text(10), 20)), QString());
    EXPECT_EQ(refusal(*c, relation(20, 10)), QString());
    const QString renamed = QString(text(10)).replace(QStringLiteral("Totals"), QStringLiteral("Sums"));
    EXPECT_EQ(refusal(*b, stampedText(renamed, 20)), QString());
    EXPECT_EQ(refusal(*b, kCopy.arg(22).arg(20)), denied("INSERT", "tbOrraSQL"));
    EXPECT_EQ(refusal(*c, kCopy.arg(22).arg(20)), QString());
}

TEST_F(IncludeGuards, IncludeRecordsAreWrittenOnlyAsTheIncludingTextHasThem)
{
    addDocument(30, 1, QStringLiteral("Report"), text(10));
    admin->execute(relation(30, 10));
    allowDoc(30, bob, rightEdit | rightExecute, 0);
    auto b = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(refusal(*b, QStringLiteral("delete tbOrraRelations where RelObjID=10")), denied("DELETE", "tbOrraRelations"));
    EXPECT_EQ(refusal(*b, relation(30, 10)), denied("INSERT", "tbOrraRelations"));
    EXPECT_EQ(refusal(*b, QStringLiteral("update tbOrraRelations set RelObjID=20 where ObjID=30")),
        denied("UPDATE", "tbOrraRelations"));
    // Its own document includes nothing, whatever the record would say.
    EXPECT_EQ(refusal(*b, relation(20, 10)), denied("INSERT", "tbOrraRelations"));

    // With the Change right the save rewrites the records of the includes its text holds.
    admin->execute(QStringLiteral("delete tbOrraDocPermissions where OrraID=30"));
    allowDoc(30, bob, rightEdit | rightChange, 0);
    const QString save = stampedText(QString(text(10)).replace(QStringLiteral("Totals"), QStringLiteral("Sums")), 30);
    b->beginTrans();
    EXPECT_EQ(refusal(*b, save), QString());
    EXPECT_EQ(refusal(*b, QStringLiteral("delete cat..tbOrraRelations where ObjId=30")), QString());
    EXPECT_EQ(refusal(*b, relation(30, 10)), QString());
    EXPECT_EQ(refusal(*b, relation(30, 20)), denied("INSERT", "tbOrraRelations"));
    b->commitTrans();

    // A delete of the document takes its records with it, with the Delete right alone.
    allowDoc(30, carl, rightDelete, 0);
    auto c = connectAs(QStringLiteral("carl"));
    EXPECT_EQ(refusal(*c, QStringLiteral("delete from cat..tbOrraRelations where ObjID=30")), QString());
    EXPECT_EQ(refusal(*c, QStringLiteral("delete cat..tbOrraSQL where ID=30")), QString());
    EXPECT_EQ(scalar(*admin, QStringLiteral("select count(*) from tbOrraRelations")).toInt(), 0);
}

TEST_F(CatalogueGuards, AGuardedTableKeepsItsGuardsWhenItsConstraintsChange)
{
    allowDoc(10, bob, rightEdit, rightExecute);
    auto before = connectAs(QStringLiteral("bob"));
    EXPECT_EQ(refusal(*admin, QStringLiteral("alter table tbOrraDocPermissions add constraint CK_Allow check (Allow >= 0)")),
        QString());
    auto after = connectAs(QStringLiteral("bob"));
    const QString remove = QStringLiteral("delete tbOrraDocPermissions where OrraID=10 and UserId=%1").arg(bob);
    for (db::Connection* c : {before.get(), after.get()}) {
        long number = 0;
        EXPECT_EQ(refusal(*c, remove, {}, &number), denied("DELETE", "tbOrraDocPermissions"));
        EXPECT_EQ(number, 229);
    }
    EXPECT_EQ(admin->execute(QStringLiteral("select count(*) from tbOrraDocPermissions where OrraID=10"))->value(0).toInt(), 1);
    EXPECT_EQ(refusal(*admin, QStringLiteral("alter table tbOrraDocPermissions drop constraint CK_Allow")), QString());
    EXPECT_EQ(refusal(*before, remove), denied("DELETE", "tbOrraDocPermissions"));
}
