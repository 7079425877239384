#pragma once
// What the embedded server enforces on the catalogue's tables for logins that do not own the
// catalogue database (registered by registerEmbeddedCatalogue()): a row changes only for a
// login that holds the right the designer asks before it makes that change, decided by the
// shared permission code (common/Permissions.h) on the writing session itself.
//
// - tbOrraSQL: insert with the login as Owner and Add New Document on the category; Name,
//   Description, Type, Disabled and SQLtxt with Change; CategoryID with Move and Add New
//   Document on the new category; CheckSum alone with Change or Move; ID and Owner never;
//   delete with Delete. A text that adds an include (a DocID its old text did not include; in a
//   new row, every one) also needs the Include right on each document it adds.
// - tbOrraRelations: rows of a document whose stored text includes RelObjID, written with its
//   Change right; deleted with its Change or Delete right or once it is gone; never updated.
// - tbOrraCategory: the same with Add New Category (a top category may be made by anyone),
//   Change, Move and Delete Category.
// - tbOrraDocPermissions, tbOrraCategoryPermissions: with Secondary Owner on the object; the
//   Secondary Owner bits themselves (Allow or Deny) only by the object's owner. A row deleted
//   and written again in one transaction (as the permissions page applies one principal) is
//   judged by the rights the login held when it deleted it. Rows of an object that no longer
//   exists may be deleted.
// - tbOrraCallSchema, tbOrraCallSchemaDetail: written with the document's Change right (their
//   values are pasted into the SQL of whoever runs the schema); deleted with Change or Delete,
//   or once the document is gone.
// - tbOrraLocks: only through sp_UserLock or by the session whose lock the row is.
// A refused write fails with SQL Server's error 229.

namespace orra::catalogue {

void registerCatalogueGuards();

}   // namespace orra::catalogue
