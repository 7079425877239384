#pragma once
// The numbers of the errors ADO raises that the database layer raises in its place; the
// system's code and the script objects raise the same ones. An unscoped enum so that a number
// passes wherever an error number (long) is taken.

namespace orra::db {

enum ErrorNumber : long {
    kNoCurrentRecord = 3021,           // Either BOF or EOF is True, or the current record has been deleted.
    kItemNotFound = 3265,              // Item cannot be found in the collection ... name or ordinal.
    kObjectClosed = 3704,              // Operation is not allowed when the object is closed.
    kObjectOpen = 3705,                // Operation is not allowed when the object is open.
    kProviderNotFound = 3706,          // Provider cannot be found.
    kConnectionUnusable = 3709,        // The connection cannot be used to perform this operation.
    kErrorsInCommand = -2147217900,    // the provider's failure of a command (its text says why)
    kTransactionLimit = -2147168227,   // Cannot start more transactions on this session.
    kNoTransaction = -2147168242,      // No transaction is active.
};

}   // namespace orra::db
