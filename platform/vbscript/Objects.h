#pragma once
// The engine's own objects: Err, instances of script classes, RegExp and its matches.

#include "platform/vbscript/Ast.h"
#include "platform/vbscript/Dispatch.h"
#include "platform/vbscript/ScriptEngine.h"

#include <memory>

namespace orra::vbs {

class Interpreter;

class ErrObject : public Dispatch {
public:
    long number = 0;
    QString description;
    QString source;
    QString helpFile;
    long helpContext = 0;

    void clear()
    {
        number = 0;
        description.clear();
        source.clear();
        helpFile.clear();
        helpContext = 0;
    }
    void setFrom(const orra::Error& e);

private:
    // The help topic Err.Raise gave, until its error reaches setFrom.
    long m_raisedNumber = 0;
    QString m_raisedHelpFile;
    long m_raisedHelpContext = 0;

public:
    QString typeName() const override { return QStringLiteral("ErrObject"); }
    bool hasMember(const QString& name) const override;
    Variant getProperty(const QString& name, Arguments& args) override;
    void putProperty(const QString& name, Arguments& args, const Variant& value) override;
};

class ClassInstance : public Dispatch {
public:
    ClassInstance(std::shared_ptr<ClassDef> cls, Interpreter* interp);
    ~ClassInstance() override;

    QString typeName() const override { return m_class->name; }
    bool hasMember(const QString& name) const override;
    Variant getProperty(const QString& name, Arguments& args) override;
    void putProperty(const QString& name, Arguments& args, const Variant& value) override;
    void setProperty(const QString& name, Arguments& args, const Variant& value) override;
    Variant call(const QString& name, Arguments& args) override;

    // Member access from inside the class (private members allowed).
    Variant getMember(const QString& key, Arguments& args, bool inside);
    void letMember(const QString& key, Arguments& args, const Variant& value, bool isSet, bool inside);

    const ClassDef& classDef() const { return *m_class; }
    std::vector<Variant> fields;
    void detach() { m_interp = nullptr; }   // the interpreter is going away

private:
    std::shared_ptr<ClassDef> m_class;
    Interpreter* m_interp;
    std::shared_ptr<bool> m_alive;
};

// What GetRef returns: calling its default member calls the procedure.
class ProcRef : public Dispatch {
public:
    ProcRef(std::shared_ptr<Proc> proc, Interpreter* interp);
    QString typeName() const override { return QStringLiteral("Object"); }
    Variant getProperty(const QString& name, Arguments& args) override;

private:
    std::shared_ptr<Proc> m_proc;
    Interpreter* m_interp;
    std::shared_ptr<bool> m_alive;
};

// Reads an element of an array value (raises 9 out of range, 13 for a non-array).
Variant arrayElement(const Variant& array, const Arguments& subscripts);

// New RegExp.
DispatchPtr newRegExp();

}   // namespace orra::vbs
