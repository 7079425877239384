#include "platform/vbscript/Objects.h"

#include "platform/text/RegExp.h"
#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Runtime.h"

namespace orra::vbs {

// ============================================================================ Err

void ErrObject::setFrom(const orra::Error& e)
{
    number = e.number();
    description = e.description();
    if (auto* se = dynamic_cast<const ScriptError*>(&e); se && !se->report().errDescription.isEmpty())
        description = se->report().errDescription;
    source = e.source();
    helpFile.clear();
    helpContext = 0;
    if (m_raisedNumber != 0 && m_raisedNumber == number) {
        helpFile = m_raisedHelpFile;
        helpContext = m_raisedHelpContext;
    }
    m_raisedNumber = 0;
    m_raisedHelpFile.clear();
    m_raisedHelpContext = 0;
}

namespace {

// Err.Raise takes an HRESULT too: the engine's own (facility 10) and the common system ones
// become the run-time error numbers they stand for.
long errorNumberOf(long n)
{
    const uint32_t h = uint32_t(n);
    if ((h & 0xFFFF0000u) == 0x800A0000u) return long(h & 0xFFFFu);
    switch (h) {
    case 0x8007000Eu:   // E_OUTOFMEMORY
        return kOutOfMemory;
    case 0x80070057u:   // E_INVALIDARG
        return kInvalidProcedureCall;
    case 0x80020005u:   // DISP_E_TYPEMISMATCH
        return kTypeMismatch;
    case 0x8002000Au:   // DISP_E_OVERFLOW
        return kOverflow;
    case 0x8002000Bu:   // DISP_E_BADINDEX
        return kSubscriptOutOfRange;
    case 0x80020012u:   // DISP_E_DIVBYZERO
        return kDivisionByZero;
    default:
        return n;
    }
}

bool isStandardDescription(long number, const QString& description)
{
    return description == errorMessage(number) || description == u"Unknown runtime error";
}

}   // namespace

bool ErrObject::hasMember(const QString& name) const
{
    static const QStringList names = {"number", "description", "source", "helpfile", "helpcontext", "raise", "clear"};
    return names.contains(foldCase(name));
}

Variant ErrObject::getProperty(const QString& name, Arguments& args)
{
    QString k = foldCase(name);
    if (k.isEmpty() || k == u"number") return Variant::longValue(int32_t(number));
    if (k == u"description") return Variant::string(description);
    if (k == u"source") return Variant::string(source);
    if (k == u"helpfile") return Variant::string(helpFile);
    if (k == u"helpcontext") return Variant::longValue(int32_t(helpContext));
    if (k == u"clear") {
        clear();
        return Variant();
    }
    if (k == u"raise") {
        if (args.empty() || isMissing(args, 0)) raise(kWrongArgumentCount);
        const long given = args[0].toLong();
        // Error numbers are 16-bit; beyond them only an HRESULT (negative as a Long) is taken.
        if (given > 65535) raise(kInvalidProcedureCall);
        const long n = errorNumberOf(given);
        if (n == 0) raise(kInvalidProcedureCall);
        // What is not given keeps what Err holds (unless it is only the previous number's text).
        ErrorReport r;
        r.number = n;
        if (!isMissing(args, 1))
            r.source = args[1].toString();
        else
            r.source = source.isEmpty() ? QString::fromLatin1(kRuntimeErrorSource) : source;
        if (!isMissing(args, 2))
            r.description = args[2].toString();
        else if (!description.isEmpty() && !isStandardDescription(number, description))
            r.description = description;
        else {
            r.description = errorMessage(n);
            if (r.description.isEmpty()) r.description = QStringLiteral("Unknown runtime error");
        }
        m_raisedHelpFile = isMissing(args, 3) ? helpFile : args[3].toString();
        m_raisedHelpContext = isMissing(args, 4) ? helpContext : args[4].toLong();
        m_raisedNumber = n;
        throw ScriptError(std::move(r));
    }
    raise(kMemberNotSupported);
}

void ErrObject::putProperty(const QString& name, Arguments& args, const Variant& value)
{
    QString k = foldCase(name);
    if (k.isEmpty() || k == u"number")
        number = value.toLong();
    else if (k == u"description")
        description = value.toString();
    else if (k == u"source")
        source = value.toString();
    else if (k == u"helpfile")
        helpFile = value.toString();
    else if (k == u"helpcontext")
        helpContext = value.toLong();
    else
        raise(kMemberNotSupported);
}

// ============================================================================ GetRef

ProcRef::ProcRef(std::shared_ptr<Proc> proc, Interpreter* interp)
    : m_proc(std::move(proc)), m_interp(interp), m_alive(interp->aliveToken())
{
}

Variant ProcRef::getProperty(const QString& name, Arguments& args)
{
    if (!name.isEmpty()) raise(kMemberNotSupported);
    if (!*m_alive) raise(kObjectNotSet);
    return m_interp->callProc(*m_proc, nullptr, args, nullptr);
}

// ============================================================================ script classes

ClassInstance::ClassInstance(std::shared_ptr<ClassDef> cls, Interpreter* interp)
    : fields(cls->fields.size()), m_class(std::move(cls)), m_interp(interp), m_alive(interp->aliveToken())
{
    m_interp->registerInstance(this);
}

ClassInstance::~ClassInstance()
{
    if (!m_interp || !*m_alive) return;
    m_interp->unregisterInstance(this);
    if (m_class->terminate) {
        // Class_Terminate runs on a stand-in object; errors in it are ignored, as VBScript does.
        try {
            Arguments none;
            m_interp->callProc(*m_class->terminate, this, none, nullptr);
        } catch (...) {
        }
    }
}

bool ClassInstance::hasMember(const QString& name) const
{
    QString k = foldCase(name);
    auto f = m_class->fieldIndex.find(k);
    if (f != m_class->fieldIndex.end()) return m_class->fields[size_t(f.value())].isPublic;
    for (auto* h : {&m_class->methods, &m_class->getters, &m_class->letters, &m_class->setters}) {
        auto it = h->find(k);
        if (it != h->end()) return it.value()->isPublic;
    }
    return false;
}

Variant ClassInstance::getMember(const QString& key0, Arguments& args, bool inside)
{
    if (!m_interp || !*m_alive) raise(kObjectNotSet);
    QString key = key0.isEmpty() ? m_class->defaultMember : key0;
    if (key.isEmpty()) raise(kMemberNotSupported);
    auto self = weak_from_this().lock();
    auto f = m_class->fieldIndex.find(key);
    if (f != m_class->fieldIndex.end()) {
        const ClassField& fd = m_class->fields[size_t(f.value())];
        if (!fd.isPublic && !inside) raise(kMemberNotSupported);
        const Variant& v = fields[size_t(f.value())];
        if (args.empty()) return v;
        if (v.isArray()) return arrayElement(v, args);
        if (v.isObject() && v.rawObject()) return v.rawObject()->getProperty(QString(), args);
        raise(kTypeMismatch);
    }
    std::shared_ptr<Proc> p = m_class->getters.value(key);
    if (!p) p = m_class->methods.value(key);
    if (!p || (!p->isPublic && !inside)) raise(kMemberNotSupported);
    return m_interp->callProc(*p, this, args, nullptr);
}

void ClassInstance::letMember(const QString& key0, Arguments& args, const Variant& value, bool isSet, bool inside)
{
    if (!m_interp || !*m_alive) raise(kObjectNotSet);
    QString key = key0.isEmpty() ? m_class->defaultMember : key0;
    if (key.isEmpty()) raise(kMemberNotSupported);
    auto self = weak_from_this().lock();
    auto f = m_class->fieldIndex.find(key);
    if (f != m_class->fieldIndex.end()) {
        const ClassField& fd = m_class->fields[size_t(f.value())];
        if (!fd.isPublic && !inside) raise(kMemberNotSupported);
        Variant& slot = fields[size_t(f.value())];
        if (args.empty()) {
            if (slot.isFixedArray()) raise(kArrayFixedOrLocked);
            slot = value;
            return;
        }
        if (slot.isArray()) {
            VariantArray* a = slot.mutableArray();
            long idx = a->flatIndex(args.data(), args.size());
            if (idx < 0) raise(kSubscriptOutOfRange);
            a->data[size_t(idx)] = value;
            return;
        }
        if (slot.isObject() && slot.rawObject()) {
            if (isSet)
                slot.rawObject()->setProperty(QString(), args, value);
            else
                slot.rawObject()->putProperty(QString(), args, value);
            return;
        }
        raise(kTypeMismatch);
    }
    std::shared_ptr<Proc> p = isSet ? m_class->setters.value(key) : m_class->letters.value(key);
    if (!p && isSet) p = m_class->letters.value(key);
    if (!p || (!p->isPublic && !inside))
        raise(m_class->getters.contains(key) ? kWrongArgumentCount : kMemberNotSupported);
    m_interp->callProc(*p, this, args, &value);
}

Variant ClassInstance::getProperty(const QString& name, Arguments& args)
{
    return getMember(foldCase(name), args, false);
}

void ClassInstance::putProperty(const QString& name, Arguments& args, const Variant& value)
{
    letMember(foldCase(name), args, value, false, false);
}

void ClassInstance::setProperty(const QString& name, Arguments& args, const Variant& value)
{
    letMember(foldCase(name), args, value, true, false);
}

Variant ClassInstance::call(const QString& name, Arguments& args) { return getMember(foldCase(name), args, false); }

// ============================================================================ RegExp

namespace {

class SubMatchesObject : public Dispatch {
public:
    explicit SubMatchesObject(const RegExpMatch& m) : m_m(m) {}
    QString typeName() const override { return QStringLiteral("ISubMatches"); }
    bool hasMember(const QString& n) const override
    {
        QString k = foldCase(n);
        return k == u"item" || k == u"count";
    }
    Variant item(const Variant& i) const
    {
        long n = i.toLong();
        if (n < 0 || n >= m_m.subMatches.size()) raise(kInvalidProcedureCall);
        return m_m.subMatched[n] ? Variant::string(m_m.subMatches[n]) : Variant();
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = foldCase(name);
        if (k == u"count") return Variant::longValue(int32_t(m_m.subMatches.size()));
        if ((k.isEmpty() || k == u"item") && args.size() == 1) return item(args[0]);
        raise(kMemberNotSupported);
    }
    std::vector<Variant> enumerate() override
    {
        std::vector<Variant> r;
        for (int i = 0; i < m_m.subMatches.size(); ++i) r.push_back(item(Variant::longValue(i)));
        return r;
    }

private:
    RegExpMatch m_m;
};

class MatchObject : public Dispatch {
public:
    explicit MatchObject(RegExpMatch m) : m_m(std::move(m)) {}
    QString typeName() const override { return QStringLiteral("IMatch2"); }
    bool hasMember(const QString& n) const override
    {
        QString k = foldCase(n);
        return k == u"value" || k == u"firstindex" || k == u"length" || k == u"submatches";
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = foldCase(name);
        if (k == u"submatches") {
            auto sub = std::make_shared<SubMatchesObject>(m_m);
            if (args.empty()) return Variant::object(sub);
            return sub->getProperty(QString(), args);   // m.SubMatches(i)
        }
        if (!args.empty()) raise(kWrongArgumentCount);
        if (k.isEmpty() || k == u"value") return Variant::string(m_m.value);
        if (k == u"firstindex") return Variant::longValue(m_m.firstIndex);
        if (k == u"length") return Variant::longValue(m_m.length);
        if (k == u"submatches") return Variant::object(std::make_shared<SubMatchesObject>(m_m));
        raise(kMemberNotSupported);
    }

private:
    RegExpMatch m_m;
};

class MatchesObject : public Dispatch {
public:
    explicit MatchesObject(const QList<RegExpMatch>& ms)
    {
        for (const auto& m : ms) m_items.push_back(Variant::object(std::make_shared<MatchObject>(m)));
    }
    QString typeName() const override { return QStringLiteral("IMatchCollection2"); }
    bool hasMember(const QString& n) const override
    {
        QString k = foldCase(n);
        return k == u"item" || k == u"count";
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = foldCase(name);
        if (k == u"count") return Variant::longValue(int32_t(m_items.size()));
        if ((k.isEmpty() || k == u"item") && args.size() == 1) {
            long i = args[0].toLong();
            if (i < 0 || i >= long(m_items.size())) raise(kInvalidProcedureCall);
            return m_items[size_t(i)];
        }
        raise(kMemberNotSupported);
    }
    std::vector<Variant> enumerate() override { return m_items; }

private:
    std::vector<Variant> m_items;
};

class RegExpObject : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("IRegExp2"); }
    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {"pattern", "ignorecase", "global", "multiline", "execute", "test", "replace"};
        return names.contains(foldCase(n));
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = foldCase(name);
        if (k == u"pattern") return Variant::string(m_re.pattern);
        if (k == u"ignorecase") return Variant::boolean(m_re.ignoreCase);
        if (k == u"global") return Variant::boolean(m_re.global);
        if (k == u"multiline") return Variant::boolean(m_re.multiline);
        if (k == u"execute") {
            if (args.size() != 1) raise(kWrongArgumentCount);
            return Variant::object(std::make_shared<MatchesObject>(run([&] { return m_re.execute(text(args[0])); })));
        }
        if (k == u"test") {
            if (args.size() != 1) raise(kWrongArgumentCount);
            return Variant::boolean(run([&] { return m_re.test(text(args[0])); }));
        }
        if (k == u"replace") {
            if (args.size() != 2) raise(kWrongArgumentCount);
            return Variant::string(run([&] { return m_re.replace(text(args[0]), replacementText(args[1])); }));
        }
        raise(kMemberNotSupported);
    }
    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        QString k = foldCase(name);
        if (!args.empty()) raise(kWrongArgumentCount);
        if (k == u"pattern")
            m_re.pattern = value.toString();
        else if (k == u"ignorecase")
            m_re.ignoreCase = value.toBool();
        else if (k == u"global")
            m_re.global = value.toBool();
        else if (k == u"multiline")
            m_re.multiline = value.toBool();
        else
            raise(kMemberNotSupported);
    }

private:
    static QString text(const Variant& v) { return v.isNull() ? QString() : v.toString(); }
    // the replacement converts as a plain variant would: a Boolean is "-1" or "0", not "True"
    static QString replacementText(const Variant& v)
    {
        if (v.type() == VarType::Boolean) return v.rawInt() ? QStringLiteral("-1") : QStringLiteral("0");
        return text(v);
    }
    template <typename F> auto run(F f) -> decltype(f())
    {
        try {
            return f();
        } catch (const ScriptError&) {
            throw;
        } catch (const orra::Error& e) {
            raise(e.number(), e.description());
        }
    }
    orra::RegExp m_re;
};

}   // namespace

DispatchPtr newRegExp() { return std::make_shared<RegExpObject>(); }

}   // namespace orra::vbs
