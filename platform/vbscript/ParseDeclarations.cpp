// Declarations: Dim, ReDim, Const, procedures and classes, and binding names to slots.
#include "platform/vbscript/ParserInternal.h"

#include "platform/vbscript/Interpreter.h"

namespace orra::vbs::parser {

StmtPtr Parser::parseDim(const Token& at)
{
    auto s = makeStmt(StmtKind::Dim, at);
    do {
        const Token& nt = cur();
        DimItem d;
        d.name = identifier(&d.key);
        if (accept(T::LParen)) {
            d.isArray = true;
            if (!accept(T::RParen)) {
                do {
                    d.dims.push_back(parseIntegerConstant());
                } while (accept(T::Comma));
                expect(T::RParen, kExpectedCloseParen);
            }
        }
        declareVariable(d, nt);
        s->dims.push_back(std::move(d));
    } while (accept(T::Comma));
    return s;
}

ExprPtr Parser::parseIntegerConstant()
{
    const Token& t = cur();
    bool neg = false;
    if (t.t == T::Minus) {
        neg = true;
        next();
    }
    if (cur().t != T::Int) fail(kExpectedIntegerConstant, cur().line, cur().col);
    auto e = make(ExprKind::Literal, cur());
    long v = long(cur().val.rawInt());
    e->value = Variant::fromInteger(neg ? -v : v);
    next();
    return e;
}

void Parser::declareVariable(DimItem& d, const Token& at)
{
    if (m_proc) {
        if (m_proc->locals.contains(d.key)) fail(kNameRedefined, at.line, at.col);
        m_proc->locals.insert(d.key, m_proc->slotCount++);
        if (d.isArray) m_proc->arrayLocals.push_back(&d);   // address fixed once moved? see fix-up
    } else if (!m_opt.context) {
        m_prog.globalNames.push_back(d.name);
    }
}

StmtPtr Parser::parseReDim()
{
    auto s = makeStmt(StmtKind::ReDim, cur());
    next();
    if (acceptWord(u"preserve")) s->preserve = true;
    do {
        DimItem d;
        const Token& nt = cur();
        d.name = identifier(&d.key);
        auto id = make(ExprKind::Ident, nt);
        id->name = d.name;
        id->key = d.key;
        noteIdent(id.get());
        noteWriteTarget(id.get());
        d.target = std::move(id);
        expect(T::LParen, kExpectedOpenParen);
        do {
            d.dims.push_back(parseExpr());
        } while (accept(T::Comma));
        expect(T::RParen, kExpectedCloseParen);
        // ReDim of an undeclared name inside a procedure declares a local.
        if (m_proc && !m_proc->locals.contains(d.key) && !m_opt.context) {
            if (!m_class || !m_class->fieldIndex.contains(d.key)) m_redimDeclares.push_back(d.key);
        }
        if (!m_proc && !m_opt.context) m_prog.globalNames.push_back(d.name);
        s->dims.push_back(std::move(d));
    } while (accept(T::Comma));
    return s;
}

StmtPtr Parser::parseErase()
{
    auto s = makeStmt(StmtKind::Erase, cur());
    next();
    do {
        DimItem d;
        const Token& nt = cur();
        d.name = identifier(&d.key);
        auto id = make(ExprKind::Ident, nt);
        id->name = d.name;
        id->key = d.key;
        noteIdent(id.get());
        noteWriteTarget(id.get());
        d.target = std::move(id);
        s->dims.push_back(std::move(d));
    } while (accept(T::Comma));
    return s;
}

StmtPtr Parser::parseConst()
{
    auto s = makeStmt(StmtKind::Const, cur());
    next();
    do {
        DimItem d;
        const Token& nt = cur();
        d.name = identifier(&d.key);
        expect(T::Eq, kExpectedEquals);
        d.target = parseExpr();
        if (m_proc) {
            if (m_proc->locals.contains(d.key)) fail(kNameRedefined, nt.line, nt.col);
            m_proc->locals.insert(d.key, m_proc->slotCount++);
            auto id = make(ExprKind::Ident, nt);
            id->name = d.name;
            id->key = d.key;
            noteIdent(id.get());
            noteWriteTarget(id.get());
            d.dims.push_back(std::move(id));   // the slot to write
        }
        noteConstant(d);
        s->dims.push_back(std::move(d));
    } while (accept(T::Comma));
    return s;
}

void Parser::parseProcDecl(bool isPublic, ClassDef*)
{
    const Token at = cur();
    bool isDefault = false;
    if (acceptWord(u"default")) {
        if (!isPublic) fail(kDefaultMustBePublic, at.line, at.col);
        if (!m_class) fail(kMustBeInsideClass, at.line, at.col);
        isDefault = true;
    }
    if (m_proc) fail(kExpectedStatement, at.line, at.col);
    auto proc = std::make_shared<Proc>();
    proc->isPublic = isPublic;
    proc->isDefault = isDefault;
    proc->owner = m_class;
    proc->line = at.line;
    const char16_t* endWord;
    if (acceptWord(u"sub")) {
        proc->kind = ProcKind::Sub;
        endWord = u"sub";
    } else if (acceptWord(u"function")) {
        proc->kind = ProcKind::Function;
        endWord = u"function";
    } else if (acceptWord(u"property")) {
        if (!m_class) fail(kMustBeInsideClass, at.line, at.col);
        if (acceptWord(u"get"))
            proc->kind = ProcKind::PropertyGet;
        else if (acceptWord(u"let"))
            proc->kind = ProcKind::PropertyLet;
        else if (acceptWord(u"set"))
            proc->kind = ProcKind::PropertySet;
        else
            fail(kExpectedPropertyKind, cur().line, cur().col);
        endWord = u"property";
    } else
        fail(kExpectedStatement, at.line, at.col);
    if (isDefault && proc->kind != ProcKind::PropertyGet && proc->kind != ProcKind::Function
        && proc->kind != ProcKind::Sub)
        fail(kDefaultOnlyOnPropertyGet, at.line, at.col);
    proc->name = identifier(&proc->key);
    if (accept(T::LParen)) {
        if (!accept(T::RParen)) {
            do {
                Param p;
                if (acceptWord(u"byval"))
                    p.byRef = false;
                else
                    acceptWord(u"byref");
                const Token& pt = cur();
                p.name = identifier(&p.key);
                if (accept(T::LParen)) expect(T::RParen, kExpectedCloseParen);
                if (proc->locals.contains(p.key)) fail(kNameRedefined, pt.line, pt.col);
                proc->locals.insert(p.key, proc->slotCount++);
                proc->params.push_back(p);
            } while (accept(T::Comma));
            expect(T::RParen, kExpectedCloseParen);
        }
    }
    if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) && proc->params.empty())
        fail(kPropertyWithoutArgument, at.line, at.col);
    if (proc->kind == ProcKind::Function || proc->kind == ProcKind::PropertyGet) {
        proc->resultSlot = proc->slotCount++;
        if (!proc->locals.contains(proc->key)) proc->locals.insert(proc->key, proc->resultSlot);
    }
    // the body may begin on the header's line (Sub s() x = 1 End Sub)
    m_proc = proc.get();
    m_redimDeclares.clear();
    proc->body = parseBlock({});
    m_proc = nullptr;
    for (const QString& k : m_redimDeclares)
        if (!proc->locals.contains(k)) proc->locals.insert(k, proc->slotCount++);
    m_redimDeclares.clear();
    expectWord(u"end", kExpectedEnd);
    if (!acceptWord(endWord)) {
        long err = endWord == std::u16string_view(u"sub") ? kExpectedSub
            : endWord == std::u16string_view(u"function") ? kExpectedFunction
                                                          : kExpectedProperty;
        fail(err, cur().line, cur().col);
    }
    fixArrayLocals(proc->body, *proc);
    if (m_class) {
        ClassDef& c = *m_class;
        auto clash = [&](const QString& k) { return c.fieldIndex.contains(k) || c.methods.contains(k); };
        switch (proc->kind) {
        case ProcKind::Sub:
        case ProcKind::Function:
            if (clash(proc->key) || c.getters.contains(proc->key) || c.letters.contains(proc->key)
                || c.setters.contains(proc->key))
                fail(kNameRedefined, at.line, at.col);
            if (proc->key == u"class_initialize" || proc->key == u"class_terminate") {
                if (!proc->params.empty()) fail(kClassEventWithArguments, at.line, at.col);
                (proc->key == u"class_initialize" ? c.initialize : c.terminate) = proc;
            }
            c.methods.insert(proc->key, proc);
            break;
        case ProcKind::PropertyGet:
            if (clash(proc->key) || c.getters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
            c.getters.insert(proc->key, proc);
            break;
        case ProcKind::PropertyLet:
            if (clash(proc->key) || c.letters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
            c.letters.insert(proc->key, proc);
            break;
        case ProcKind::PropertySet:
            if (clash(proc->key) || c.setters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
            c.setters.insert(proc->key, proc);
            break;
        }
        if (isDefault) {
            if (!c.defaultMember.isEmpty() && c.defaultMember != proc->key) fail(kMultipleDefaults, at.line, at.col);
            c.defaultMember = proc->key;
        }
        m_classProcs.push_back(proc.get());
    } else {
        resolveProc(*proc, nullptr);
        m_prog.procs.push_back(proc);
    }
}

// Dim'd arrays are remembered by address; collect them again now that the tree is final.
void Parser::fixArrayLocals(Block& b, Proc& p)
{
    p.arrayLocals.clear();
    collectArrayDims(b, p);
}

void Parser::collectArrayDims(Block& b, Proc& p)
{
    for (auto& s : b) {
        if (s->kind == StmtKind::Dim)
            for (auto& d : s->dims)
                if (d.isArray) p.arrayLocals.push_back(&d);
        for (auto& blk : s->blocks) collectArrayDims(blk, p);
    }
}

void Parser::parseClass()
{
    const Token at = cur();
    next();
    auto cls = std::make_shared<ClassDef>();
    cls->name = identifier(&cls->key);
    endOfStatement();
    m_class = cls.get();
    m_classProcs.clear();
    for (;;) {
        skipEols();
        if (cur().t == T::Eof) fail(kExpectedEnd, cur().line, cur().col);
        if (isWord(u"end")) break;
        const Token t = cur();
        bool isPublic = true;
        if (acceptWord(u"public"))
            isPublic = true;
        else if (acceptWord(u"private"))
            isPublic = false;
        else if (acceptWord(u"dim"))
            isPublic = true;
        else if (!isWord(u"sub") && !isWord(u"function") && !isPropertyDeclAt(0))
            fail(kExpectedStatement, t.line, t.col);
        if (isWord(u"sub") || isWord(u"function") || isPropertyDeclAt(0) || isDefaultDeclAt(0)) {
            parseProcDecl(isPublic, cls.get());
            continue;
        }
        if (isWord(u"const")) fail(kExpectedStatement, t.line, t.col);
        do {
            ClassField f;
            f.isPublic = isPublic;
            const Token& ft = cur();
            f.name = identifier(&f.key);
            if (accept(T::LParen)) {
                f.isArray = true;
                if (!accept(T::RParen)) {
                    do {
                        f.dims.push_back(parseIntegerConstant());
                    } while (accept(T::Comma));
                    expect(T::RParen, kExpectedCloseParen);
                }
            }
            if (cls->fieldIndex.contains(f.key)) fail(kNameRedefined, ft.line, ft.col);
            cls->fieldIndex.insert(f.key, int(cls->fields.size()));
            cls->fields.push_back(std::move(f));
        } while (accept(T::Comma));
        endOfStatement();
    }
    expectWord(u"end", kExpectedEnd);
    expectWord(u"class", kExpectedClass);
    for (Proc* p : m_classProcs) resolveProc(*p, cls.get());
    m_classProcs.clear();
    m_class = nullptr;
    m_prog.classes.push_back(cls);
}

void Parser::noteConstant(const DimItem& d)
{
    QHash<QString, Variant>& consts = m_proc ? m_procConsts[m_proc] : m_topConsts;
    Variant v;
    if (!consts.contains(d.key) && constantValue(*d.target, consts, v)) consts.insert(d.key, v);
}

bool Parser::constantValue(const Expr& e, const QHash<QString, Variant>& known, Variant& out) const
{
    switch (e.kind) {
    case ExprKind::Literal:
        if (e.value.isObject()) return false;
        out = e.value;
        return true;
    case ExprKind::Paren:
        return constantValue(*e.a, known, out);
    case ExprKind::Unary:
        if ((e.op != Op::Neg && e.op != Op::Plus) || !constantValue(*e.a, known, out) || !out.isNumeric()) return false;
        if (e.op == Op::Neg) out = ops::neg(out);
        return true;
    case ExprKind::Ident: {
        auto it = known.find(e.key);
        if (it == known.end()) return false;
        out = it.value();
        return true;
    }
    default:
        return false;
    }
}

void Parser::substituteConstants(const std::vector<Expr*>& idents, const QHash<QString, Variant>& consts)
{
    if (consts.isEmpty()) return;
    for (Expr* e : idents) {
        if (e->kind != ExprKind::Ident || e->isCallee || m_writeTargets.count(e)) continue;
        auto it = consts.find(e->key);
        if (it == consts.end()) continue;
        e->kind = ExprKind::Literal;
        e->value = it.value();
    }
}

void Parser::resolveProc(Proc& p, const ClassDef* cls)
{
    auto consts = m_procConsts.find(&p);
    if (consts != m_procConsts.end()) {
        substituteConstants(p.idents, consts->second);
        m_procConsts.erase(consts);
    }
    for (Expr* e : p.idents)
        if (e->kind == ExprKind::Ident) resolveIdent(e, &p, cls);
    p.idents.clear();
}

void Parser::resolveIdent(Expr* e, const Proc* p, const ClassDef* cls)
{
    if (p) {
        auto it = p->locals.find(e->key);
        if (it != p->locals.end()) {
            bool ownName = e->key == p->key && p->resultSlot >= 0;
            if (!(ownName && e->isCallee)) {
                e->bind = Bind::Local;
                e->slot = it.value();
                return;
            }
        }
    }
    if (cls) {
        auto f = cls->fieldIndex.find(e->key);
        if (f != cls->fieldIndex.end()) {
            e->bind = Bind::ClassField;
            e->slot = f.value();
            return;
        }
        if (cls->methods.contains(e->key) || cls->getters.contains(e->key) || cls->letters.contains(e->key)
            || cls->setters.contains(e->key)) {
            e->bind = Bind::ClassMember;
            return;
        }
    }
}

void Parser::finishTop()
{
    substituteConstants(m_topIdents, m_topConsts);
    // Top-level identifiers stay global unless this code runs inside a procedure (Execute).
    if (m_opt.context || m_opt.contextClass)
        for (Expr* e : m_topIdents)
            if (e->kind == ExprKind::Ident) resolveIdent(e, m_opt.context, m_opt.contextClass);
    m_topIdents.clear();
}

void Parser::noteIdent(Expr* e)
{
    if (m_proc)
        m_proc->idents.push_back(e);
    else
        m_topIdents.push_back(e);
}

}   // namespace orra::vbs::parser
