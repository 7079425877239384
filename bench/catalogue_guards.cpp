// The embedded server's check of catalogue writes: 1,000 permission rows applied as the
// permissions page applies them (a delete and an insert in one transaction, one document
// each) by a login that holds Secondary Owner through the documents' category, whose every
// row the server checks with the shared permission code, against the same writes by a member
// of db_owner, whom the server does not check. Prints the median of five rounds of each.

#include "catalogue/EmbeddedCatalogue.h"
#include "common/CatalogueChecksums.h"
#include "common/Crc32.h"
#include "common/Permissions.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace orra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 1000;
const QString kServer = QStringLiteral("bench");
const QString kCatalogue = QStringLiteral("catalogue");

void addLogin(db::Connection& admin, const QString& name)
{
    admin.execute(QStringLiteral("create login %1 with password='pw'").arg(name));
    admin.execute(QStringLiteral("create user %1 for login %1").arg(name));
}

long uidOf(db::Connection& c, const QString& name)
{
    return long(c.execute(QStringLiteral("select uid from sysusers where name='%1'").arg(name))->value(0).toLongLong());
}

// Milliseconds for kRows permission rows written by c for principal uid: each in a transaction
// of its own as the permissions page writes them, or all in one (without the commits' writes
// to disk, the check's own cost stands out).
double applyRows(db::Connection& c, long uid, long allow, bool oneTransaction)
{
    const auto t0 = Clock::now();
    if (oneTransaction) c.beginTrans();
    for (long doc = 1; doc <= kRows; ++doc) {
        if (!oneTransaction) c.beginTrans();
        c.execute(QStringLiteral("delete tbOrraDocPermissions where OrraID=?  and UserId=?"),
            {qlonglong(doc), qlonglong(uid)});
        c.execute(
            QStringLiteral("insert into tbOrraDocPermissions(OrraID,UserId,Allow,[Deny],CheckSum)\r\nselect ?,?,?,?,?"),
            {qlonglong(doc), qlonglong(uid), qlonglong(allow), 0, PermissionRowCheckSum(doc, uid, allow, 0)});
        if (!oneTransaction) c.commitTrans();
    }
    if (oneTransaction) c.commitTrans();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}   // namespace

int main()
{
    QTemporaryDir dir;
    qputenv("ORRA_SERVERS", dir.path().toUtf8());
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(kServer, QStringLiteral("sa"), QStringLiteral("pw"), kCatalogue);
    db::Connection admin;
    admin.open(embedded::connectionText(kServer, kCatalogue, QStringLiteral("sa"), QStringLiteral("pw")));
    addLogin(admin, QStringLiteral("keeper"));
    addLogin(admin, QStringLiteral("owner"));
    addLogin(admin, QStringLiteral("reader"));
    admin.execute(QStringLiteral("exec sp_addrolemember 'db_owner', 'owner'"));
    const long keeper = uidOf(admin, QStringLiteral("keeper"));
    const long reader = uidOf(admin, QStringLiteral("reader"));

    admin.execute(QStringLiteral("insert into tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) "
                                 "select 1,0,'Reports','T',0,suser_sid()"));
    UpdateCategoryCheckSum(admin, kCatalogue, 1);
    admin.beginTrans();
    for (long doc = 1; doc <= kRows; ++doc) {
        admin.execute(QStringLiteral("insert into tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                     "select ?,1,?,'','T',0,'<Document ID=\"B0\"/>',suser_sid()"),
            {qlonglong(doc), QStringLiteral("Document-%1").arg(doc)});
        UpdateDocumentCheckSum(admin, kCatalogue, doc);
    }
    admin.commitTrans();
    const long manage = rightSecondaryOwner | rightEdit | rightChange;
    admin.execute(QStringLiteral("insert into tbOrraCategoryPermissions values (1, %1, %2, 0, %3)")
                      .arg(keeper)
                      .arg(manage)
                      .arg(PermissionRowCheckSum(1, keeper, manage, 0)));

    db::Connection checked, unchecked;
    checked.open(embedded::connectionText(kServer, kCatalogue, QStringLiteral("keeper"), QStringLiteral("pw")));
    unchecked.open(embedded::connectionText(kServer, kCatalogue, QStringLiteral("owner"), QStringLiteral("pw")));

    for (const bool one : {false, true}) {
        std::vector<double> with, without;
        for (int round = 0; round < 5; ++round) {
            without.push_back(applyRows(unchecked, reader, rightEdit | rightExecute, one));
            with.push_back(applyRows(checked, reader, rightEdit | rightExecute, one));
        }
        const double w = median(with), wo = median(without);
        std::printf("%d permission rows (delete + insert), %s:\n", kRows,
            one ? "all in one transaction" : "a transaction each, as the permissions page writes them");
        std::printf("  db_owner, not checked:            %8.1f ms  (%6.1f us a row)\n", wo, wo * 1000 / kRows);
        std::printf("  Secondary Owner, checked:         %8.1f ms  (%6.1f us a row)\n", w, w * 1000 / kRows);
        std::printf("  ratio checked / not checked:      %8.2f\n", w / wo);
    }
    return 0;
}
