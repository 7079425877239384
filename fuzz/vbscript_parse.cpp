// Fuzzes the lexer and parser: any text either parses or raises a compilation error.

#include "platform/vbscript/Parser.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString code = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        orra::vbs::parseProgram(code);
    } catch (const orra::vbs::ScriptError&) {
    }
    try {
        orra::vbs::ParseOptions o;
        o.expressionOnly = true;
        orra::vbs::parseProgram(code, o);
    } catch (const orra::vbs::ScriptError&) {
    }
    return 0;
}
