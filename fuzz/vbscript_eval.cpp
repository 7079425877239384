// Fuzzes the evaluator: runs the input as a script with a short time limit. Any outcome but a
// crash, a hang or a leak is fine.

#include "platform/host/UserInterface.h"
#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

class SilentUI : public orra::HeadlessUserInterface {
public:
    int messageBox(const QString&, int, const QString&) override { return orra::vbOK; }
    QString inputBox(const QString&, const QString&, const QString& def, bool* cancelled) override
    {
        if (cancelled) *cancelled = false;
        return def;
    }
};

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static SilentUI ui;
    orra::setUserInterface(&ui);
    const QString code = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    orra::vbs::ScriptEngine engine;
    engine.setTimeout(200);
    engine.interpreter().setObjectFactory(nullptr);   // no database files from fuzz input
    try {
        engine.executeStatement(code);
    } catch (const orra::Error&) {
    }
    try {
        engine.eval(code);
    } catch (const orra::Error&) {
    }
    return 0;
}
