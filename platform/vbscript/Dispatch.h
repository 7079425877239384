#pragma once
// The interface through which scripts reach host objects (and through which the engine's own
// objects - RegExp, Err, script classes, database wrappers - are reached too).
//
// Names are matched without regard to case; an empty name is the default member, so that
// rs("col") reads getProperty("", {"col"}) and rs("col") = 1 writes putProperty("", {"col"}, 1).
// Unknown members raise ScriptError 438 ("Object doesn't support this property or method").
//
// Arguments are passed by reference: when a script passes a variable (or an array element),
// whatever the member leaves in args[i] is written back to it, as ByRef parameters are. A
// member that takes its parameter by value simply does not modify args[i]. Omitted arguments
// (f(1, , 3)) arrive as Variant::error(DISP_E_PARAMNOTFOUND), see isMissing().

#include "platform/vbscript/Variant.h"

#include <QString>
#include <memory>
#include <vector>

namespace orra::vbs {

// The error value that marks an omitted argument.
constexpr int32_t kParamNotFound = int32_t(0x80020004);
inline bool isMissing(const Arguments& args, size_t i)
{
    return i >= args.size() || (args[i].type() == VarType::Error && args[i].rawInt() == kParamNotFound);
}

class Dispatch : public std::enable_shared_from_this<Dispatch> {
public:
    virtual ~Dispatch() = default;

    // The class name TypeName() reports ("Connection", "IRegExp2", a script class's name).
    virtual QString typeName() const = 0;

    // True when the object has a member of that name (used for objects added with their
    // members global, to decide whether a bare name in a script means one of their members).
    virtual bool hasMember(const QString& name) const { return false; }

    // Reads a property or calls a function member in an expression: o.Name, o.Name(args),
    // o(args) (name empty: the default member). Default: raises 438.
    virtual Variant getProperty(const QString& name, Arguments& args);

    // o.Name(args) = value / o(args) = value. Default: raises 438.
    virtual void putProperty(const QString& name, Arguments& args, const Variant& value);

    // Set o.Name(args) = object. Default: putProperty.
    virtual void setProperty(const QString& name, Arguments& args, const Variant& value);

    // A call statement: o.Name args / Call o.Name(args); the result is discarded.
    // Default: getProperty.
    virtual Variant call(const QString& name, Arguments& args);

    // For Each: the items to walk, taken when the loop starts. Default: raises 451
    // ("Object not a collection").
    virtual std::vector<Variant> enumerate();
};

}   // namespace orra::vbs
