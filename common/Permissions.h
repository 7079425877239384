#pragma once
// Permission resolution over the Allow/Deny masks of the catalogue's permission tables.
//
// Order of precedence for a document: the owner (may do anything), the principal's own row
// (its Deny before its Allow), the roles the principal belongs to (any denial before any
// allowance), then the same for the document's category and each ancestor category up to
// the top. Nothing granted anywhere means denied. Every permission row read is checked against
// its row checksum; a row changed outside the system stops the decision with
// "CheckSum Value is wrong for tbOrraDocPermissions DocName: '…' UserName: '…'" (or the
// category form). So is every category row whose Owner and ParentID the decision reads:
// "CheckSum Value is wrong for tbOrraCategory CategoryName: '…'".
//
// Every query runs on the given catalogue connection, in its current database.

#include "platform/db/Connection.h"

namespace orra {

class UserInterface;

// The rights, one bit each.
enum PermissionRight : long {
    rightSecondaryOwner = 1,
    rightEdit = 2,
    rightChange = 4,
    rightDelete = 8,
    rightExecute = 16,
    rightInclude = 32,
    rightMove = 64,
    rightAddNewDocument = 2048,
    rightAddNewCategory = 4096,
    rightDeleteCategory = 8192,
};

// One principal's standing on one object.
enum PermissionDecision : int { permissionDenied = 0, permissionAllowed = 1, permissionNotSet = 2 };

// May principal uid (0: the current login's user) exercise rights on document docID?
// With a mask of several bits, any denied bit denies, otherwise any allowed bit allows.
// Any failure (checksum mismatch, provider error, missing row) is reported through
// orra::userInterface().reportError(number, source, description) with the program's default
// title and gives false: an interactive host shows the box; a headless host gets the report
// as a thrown orra::Error. A failed read of the permission rows counts as a denial without a
// report. connection null or closed: false. ui: where the failure is reported (an engine passes
// its host's); nullptr: orra::userInterface().
bool HasDocPermission(db::Connection* connection, long docID, long uid, long rights, UserInterface* ui = nullptr);

// The same for a category, then its ancestors. A loop in the parent chain stops at the first
// category met again, which denies.
bool HasCategoryPermission(
    db::Connection* connection, long categoryID, long uid, long rights, UserInterface* ui = nullptr);

// The decision of the principal's own standing on a document (owner, then its own row):
// permissionAllowed, permissionDenied or permissionNotSet. Throws orra::Error (-1, "Tavrel",
// the checksum message) when the row's checksum is wrong; provider errors are thrown too.
// A failed read of the row gives permissionDenied.
int DocPermissionOfUser(db::Connection* connection, long docID, long uid, long rights);
int CategoryPermissionOfUser(db::Connection* connection, long categoryID, long uid, long rights);

// The uid of the current login's database user ("select uid from sysusers where
// sid=suser_sid()"). Throws orra::Error when it cannot be read.
long CurrentUserUid(db::Connection* connection);

}   // namespace orra
