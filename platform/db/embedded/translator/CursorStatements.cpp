#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/StatementParser.h"

// The cursor statements: declare c cursor … for select …, open, fetch, close and deallocate.
// A cursor's rows are taken when it opens and kept until it closes (a static cursor); those
// that would follow later changes of their tables (keyset, dynamic) or change rows through the
// cursor (for update, where current of) are refused.

namespace orra::embedded::translator {

namespace {

bool isCursorVariable(const Token* t)
{
    return t && t->kind == TokenKind::Word && t->text.startsWith(u'@') && !t->text.startsWith(QLatin1String("@@"));
}

}   // namespace

bool StatementParser::atCursorDeclaration() const
{
    if (!m_c.at("declare") || !m_c.atName(1) || isCursorVariable(m_c.peek(1))) return false;
    size_t k = 2;
    while (m_c.atAny({"insensitive", "scroll"}, k)) ++k;
    return m_c.at("cursor", k);
}

// declare c cursor [local|global] [forward_only|scroll] [static|keyset|dynamic|fast_forward]
// [read_only|scroll_locks|optimistic] [type_warning] for select … [for read only], or
// declare c [insensitive] [scroll] cursor for select … [for read only]
Statement StatementParser::declareCursor()
{
    CursorStatement s;
    s.kind = CursorStatement::Kind::Declare;
    s.global = true;   // the server's default while "default to local cursor" is off
    m_c.skip();        // declare
    s.written = m_c.peek()->text;
    s.name = foldName(s.written);
    m_c.skip();
    bool iso = false;
    while (!m_c.at("cursor")) {
        iso = true;
        if (m_c.at("insensitive")) s.isStatic = true;
        if (m_c.at("scroll")) s.scroll = true;
        m_c.skip();
    }
    m_c.skip();   // cursor
    if (!cursorOptions(s, iso)) return {};
    return cursorSelect(std::move(s));
}

// The options between cursor and for; false (with the error) for one it does not run.
bool StatementParser::cursorOptions(CursorStatement& s, bool iso)
{
    bool forwardOnly = false;
    bool typed = false;   // static, keyset, dynamic or fast_forward given
    while (!m_c.atEnd() && !m_c.at("for")) {
        const Token& t = *m_c.peek();
        if (iso) {
            failNear(m_c.position());
            return false;
        }
        if (t.is("keyset") || t.is("dynamic") || t.is("scroll_locks") || t.is("optimistic")) {
            m_ctx.fail(QStringLiteral("The embedded server does not run %1 cursors: it runs STATIC, FAST_FORWARD and "
                                      "READ_ONLY ones.")
                           .arg(t.text.toUpper()),
                m_c.position());
            return false;
        }
        if (t.is("local") || t.is("global")) {
            s.global = t.is("global");
        } else if (t.is("forward_only") || t.is("fast_forward")) {
            forwardOnly = true;
            typed = typed || t.is("fast_forward");
        } else if (t.is("scroll")) {
            s.scroll = true;
        } else if (t.is("static")) {
            s.isStatic = true;
            typed = true;
        } else if (!t.is("read_only") && !t.is("type_warning")) {
            failNear(m_c.position());
            return false;
        }
        m_c.skip();
    }
    // a static cursor scrolls unless it is declared forward only
    if (s.isStatic && !iso && !forwardOnly) s.scroll = true;
    if (forwardOnly) s.scroll = false;
    Q_UNUSED(typed);
    return true;
}

// for select … [for read only | for update [of …]]: the cursor's select, as a select runs.
Statement StatementParser::cursorSelect(CursorStatement s)
{
    const std::vector<Token>& T = m_ctx.tokens();
    if (!m_c.match("for") || m_c.atEnd() || !(m_c.atAny({"select", "with"}) || m_c.atSymbol("("))) {
        failNear(m_c.position());
        skipToEnd();
        return {};
    }
    const size_t b = m_c.position();
    size_t e = std::max(findEnd(b), b + 1);
    size_t selectEnd = e;
    const size_t forAt = m_ctx.firstAtTopLevel(b, e, [](const Token& t) { return t.is("for"); });
    if (forAt + 2 < T.size() && forAt < e && T[forAt + 1].is("read") && T[forAt + 2].is("only")) {
        selectEnd = forAt;
        e = forAt + 3;
    } else if (forAt + 1 < T.size() && forAt < e && T[forAt + 1].is("update")) {
        m_ctx.fail(QStringLiteral("The embedded server does not run cursors FOR UPDATE: it runs read-only ones."), forAt);
        skipToEnd();
        return {};
    }
    Statement select = sqlStatement(b, selectEnd);
    m_c.seek(e);
    if (m_ctx.failed()) return {};
    const auto* sql = select.as<SqlStatement>();
    if (!sql || !sql->returnsRows || !sql->intoTable.isEmpty()) {
        failNear(b);
        return {};
    }
    s.select = *sql;
    return {std::move(s)};
}

// set @c = cursor [options] for select …: a cursor of the batch's own that the variable names
Statement StatementParser::cursorAssignment()
{
    CursorStatement s;
    s.kind = CursorStatement::Kind::Declare;
    s.written = m_c.peek(1)->text;
    s.name = foldName(s.written);
    if (!m_c.atSymbol("=", 2) || !m_c.at("cursor", 3)) {
        failNear(m_c.position() + (m_c.atSymbol("=", 2) ? 3 : 2));
        skipToEnd();
        return {};
    }
    m_c.skip(4);
    if (!cursorOptions(s, false)) return {};
    s.global = false;
    return cursorSelect(std::move(s));
}

// open|close|deallocate [global] c | @c; fetch [[next|prior|first|last|absolute n|relative n]
// from] [global] c | @c [into @v, …]
Statement StatementParser::cursorStatement()
{
    CursorStatement s;
    const Token& lead = *m_c.peek();
    s.kind = lead.is("open") ? CursorStatement::Kind::Open
        : lead.is("close")   ? CursorStatement::Kind::Close
        : lead.is("fetch")   ? CursorStatement::Kind::Fetch
                             : CursorStatement::Kind::Deallocate;
    m_c.skip();
    if (s.kind == CursorStatement::Kind::Fetch && !fetchDirection(s)) return {};
    if (m_c.at("global") && m_c.atName(1) && !isStatementWord(*m_c.peek(1))) {
        s.global = true;
        m_c.skip();
    }
    if (!m_c.atName() || (m_c.peek()->kind == TokenKind::Word && isStatementWord(*m_c.peek()))) {
        failNear(m_c.position());
        skipToEnd();
        return {};
    }
    s.written = m_c.peek()->text;
    s.name = foldName(s.written);
    if (isCursorVariable(m_c.peek()) && !m_cursorVariables.contains(s.name)) {
        m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(s.written), 137, m_c.position());
        return {};
    }
    m_c.skip();
    if (s.kind == CursorStatement::Kind::Fetch && m_c.match("into")) {
        s.into = true;
        do {
            const Token* t = m_c.peek();
            const Variable* v = t && isCursorVariable(t) ? m_ctx.variable(t->text) : nullptr;
            if (!v || v->slot < 0) {
                if (t && isCursorVariable(t))
                    m_ctx.fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(t->text), 137, m_c.position());
                else
                    failNear(m_c.position());
                skipToEnd();
                return {};
            }
            s.targets.push_back(v->slot);
            s.conversions.append(outputQuery(*v));
            m_c.skip();
        } while (m_c.matchSymbol(","));
    }
    return {std::move(s)};
}

// next | prior | first | last | absolute n | relative n, then from; nothing but the cursor
// for next.
bool StatementParser::fetchDirection(CursorStatement& s)
{
    using D = CursorStatement::Direction;
    static const struct {
        const char* word;
        D direction;
    } directions[] = {{"next", D::Next}, {"prior", D::Prior}, {"first", D::First}, {"last", D::Last},
        {"absolute", D::Absolute}, {"relative", D::Relative}};
    for (const auto& d : directions) {
        if (!m_c.at(d.word)) continue;
        s.direction = d.direction;
        s.directionWord = QString::fromLatin1(d.word).toUpper();
        m_c.skip();
        if (d.direction == D::Absolute || d.direction == D::Relative) {
            const size_t b = m_c.position();
            if (m_c.atSymbol("-") || m_c.atSymbol("+")) m_c.skip();
            const Token* n = m_c.peek();
            if (!n || !(n->kind == TokenKind::Number || isCursorVariable(n))) {
                failNear(m_c.position());
                skipToEnd();
                return false;
            }
            m_c.skip();
            Vec q{word("select")};
            const Vec value = m_ctx.normalize(b, m_c.position());
            q.insert(q.end(), value.begin(), value.end());
            if (m_ctx.failed()) return false;
            s.offset = expressionQuery(std::move(q));
        }
        if (!m_c.match("from")) {
            failNear(m_c.position());
            skipToEnd();
            return false;
        }
        return true;
    }
    s.directionWord = QStringLiteral("NEXT");
    m_c.match("from");
    return true;
}

}   // namespace orra::embedded::translator
