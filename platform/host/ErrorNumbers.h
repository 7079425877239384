#pragma once
// The numbers of the errors the system raises: its own failures, and the run-time errors as
// VBScript numbers them (the script engine gives those to scripts in Err.Number; the run-time,
// the criteria control and the designer raise the same ones in orra::Error). An unscoped enum so that a number passes
// wherever an error number (long) is taken. The script engine's compilation errors and the
// database layer's ADO numbers are with those layers.

namespace orra {

enum ErrorNumber : long {
    // the system's own failures, which carry a text of their own and no VBScript number
    kSystemError = -1,
    kDocumentNotLoaded = -2,   // Error loading document
    kDocumentNotFound = -3,    // Could not found document

    // run-time errors
    kInvalidProcedureCall = 5,   // Invalid procedure call or argument
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kArrayFixedOrLocked = 10,   // This array is fixed or temporarily locked
    kDivisionByZero = 11,
    kTypeMismatch = 13,
    kOutOfStringSpace = 14,
    kCannotPerformOperation = 17,   // Can't perform requested operation
    kOutOfStackSpace = 28,
    kProcedureNotDefined = 35,   // Sub or Function not defined
    kInternalError = 51,
    kPermissionDenied = 70,
    kPathFileAccessError = 75,
    kObjectNotSet = 91,   // Object variable not set
    kForLoopNotInitialized = 92,
    kInvalidUseOfNull = 94,
    kObjectRequired = 424,
    kCannotCreateObject = 429,   // ActiveX component can't create object
    kMemberNotSupported = 438,   // Object doesn't support this property or method
    kAutomationError = 440,
    kWrongArgumentCount = 450,   // Wrong number of arguments or invalid property assignment
    kNotACollection = 451,
    kKeyAlreadyExists = 457,   // This key is already associated with an element of this collection
    kVariableUndefined = 500,
    kIllegalAssignment = 501,
    kInvalidReference = 505,   // Invalid or unqualified reference
    kClassNotDefined = 506,
    kRegExpSyntax = 5017,   // Syntax error in regular expression
    kRegExpUnexpectedQuantifier = 5018,
    kRegExpExpectedBracket = 5019,   // Expected ']' in regular expression
    kRegExpExpectedParen = 5020,     // Expected ')' in regular expression
    kRegExpInvalidRange = 5021,      // Invalid range in character set
    kElementNotFound = 32811,
};

}   // namespace orra
