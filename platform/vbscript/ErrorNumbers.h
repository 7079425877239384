#pragma once
// The numbers of the errors the script engine raises, as scripts see them in Err.Number and
// hosts in ErrorReport::number; errorMessage(number) gives each one's text. The run-time ones
// are the system's (orra::ErrorNumber); the compilation errors are the engine's own. An
// unscoped enum so that a number passes wherever an error number (long) is taken.

#include "platform/host/ErrorNumbers.h"

namespace orra::vbs {

// A run-time error only the script engine raises.
enum EngineErrorNumber : long {
    kUnsupportedAutomationType = 458,   // Variable uses an Automation type not supported in VBScript
};

enum CompileErrorNumber : long {
    kCompileOutOfMemory = 1001,
    kSyntaxError = 1002,
    kExpectedColon = 1003,
    kExpectedOpenParen = 1005,      // Expected '('
    kExpectedCloseParen = 1006,     // Expected ')'
    kExpectedCloseBracket = 1007,   // Expected ']'
    kExpectedIdentifier = 1010,
    kExpectedEquals = 1011,   // Expected '='
    kExpectedIf = 1012,
    kExpectedTo = 1013,
    kExpectedEnd = 1014,
    kExpectedFunction = 1015,
    kExpectedSub = 1016,
    kExpectedThen = 1017,
    kExpectedWend = 1018,
    kExpectedLoop = 1019,
    kExpectedNext = 1020,
    kExpectedCase = 1021,
    kExpectedSelect = 1022,
    kExpectedExpression = 1023,
    kExpectedStatement = 1024,
    kExpectedEndOfStatement = 1025,
    kExpectedIntegerConstant = 1026,
    kExpectedWhileOrUntil = 1027,
    kExpectedWhileUntilOrEnd = 1028,   // Expected 'While', 'Until' or end of statement
    kExpectedWith = 1029,
    kIdentifierTooLong = 1030,
    kInvalidNumber = 1031,
    kInvalidCharacter = 1032,
    kUnterminatedString = 1033,   // Unterminated string constant
    kInvalidUseOfMe = 1037,       // Invalid use of 'Me' keyword
    kLoopWithoutDo = 1038,
    kInvalidExit = 1039,         // Invalid 'exit' statement
    kInvalidForControl = 1040,   // Invalid 'for' loop control variable
    kNameRedefined = 1041,
    kMustBeFirstStatement = 1042,    // Must be first statement on the line
    kParenthesesCallingSub = 1044,   // Cannot use parentheses when calling a Sub
    kExpectedLiteralConstant = 1045,
    kExpectedIn = 1046,
    kExpectedClass = 1047,
    kMustBeInsideClass = 1048,      // Must be defined inside a Class
    kExpectedPropertyKind = 1049,   // Expected Let or Set or Get in property declaration
    kExpectedProperty = 1050,
    kInconsistentPropertyArguments = 1051,
    kMultipleDefaults = 1052,          // Cannot have multiple default property/method in a Class
    kClassEventWithArguments = 1053,   // Class initialize or terminate do not have arguments
    kPropertyWithoutArgument = 1054,   // Property set or let must have at least one argument
    kUnexpectedNext = 1055,
    kDefaultMustBePublic = 1057,        // 'Default' specification must also specify 'Public'
    kDefaultOnlyOnPropertyGet = 1058,   // 'Default' specification can only be on Property Get
};

}   // namespace orra::vbs
