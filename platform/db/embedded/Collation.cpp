#include "platform/db/embedded/Collation.h"

#include <sqlite3.h>

#include <QList>
#include <vector>

namespace orra::embedded {

namespace {

// The server's default collation.
const TextCollation kDefault{};

thread_local const TextCollation* t_seen = nullptr;   // set by the compare of a probe
thread_local bool t_likeMarked = false;
thread_local TextCollation t_likeSubject;

char32_t foldChar(char32_t c)
{
    if (c < 0x80) {
        if (c == U'i') return 0x130;
        if (c >= U'a' && c <= U'z') return c - 32;
        return c;
    }
    if (c == 0x131) return U'I';
    return QChar::toUpper(c);
}

// The letter without its accents (é is e, İ is I); any other character as it is.
char32_t withoutAccent(char32_t c)
{
    if (c < 0xC0 || c > 0xFFFF) return c;
    const QString d = QChar(char16_t(c)).decomposition();
    const QChar::Category base = QChar::category(char32_t(d[0].unicode()));
    if (base < QChar::Letter_Uppercase || base > QChar::Letter_Other) return c;
    return withoutAccent(d[0].unicode());
}

// The character as the collation compares it: folded to upper case when case does not count,
// without its accents when they do not.
char32_t foldIn(char32_t c, const TextCollation& k)
{
    if (k.binary) return c;
    // Turkish's own letters (Ç, Ğ, İ, ı, Ö, Ş, Ü) are letters of its alphabet, not accented ones
    const bool turkishLetter = k.turkish
        && (c == 0xC7 || c == 0xE7 || c == 0x11E || c == 0x11F || c == 0x130 || c == 0x131 || c == 0xD6
            || c == 0xF6 || c == 0x15E || c == 0x15F || c == 0xDC || c == 0xFC);
    if (k.accentInsensitive && !turkishLetter) c = withoutAccent(c);
    if (!k.caseInsensitive) return c;
    if (k.turkish) return foldChar(c);
    return QChar::toUpper(c);
}

// Sort weight of a folded character: the Turkish letters sit just after their base letter.
uint32_t weight(char32_t f)
{
    switch (f) {
    case 0xC7:
        return U'C' * 4 + 2;   // Ç
    case 0x11E:
        return U'G' * 4 + 2;   // Ğ
    case 0x130:
        return U'I' * 4 + 2;   // İ
    case 0xD6:
        return U'O' * 4 + 2;   // Ö
    case 0x15E:
        return U'S' * 4 + 2;   // Ş
    case 0xDC:
        return U'U' * 4 + 2;   // Ü
    default:
        return uint32_t(f) * 4;
    }
}

// Decodes one UTF-8 character; advances i.
char32_t next(const unsigned char* s, int n, int& i)
{
    const unsigned char c = s[i++];
    if (c < 0x80) return c;
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0xFFFD;
    }
    while (extra-- > 0 && i < n && (s[i] & 0xC0) == 0x80) cp = (cp << 6) | (s[i++] & 0x3F);
    return cp;
}

// a and b (UTF-8, trailing spaces ignored) compared by the weight of their characters in turn.
// Equal ASCII bytes are passed over undecoded: they weigh alike in every collation.
template <class Weigh>
int compareByWeight(const char* a, int an, const char* b, int bn, Weigh weigh)
{
    while (an > 0 && a[an - 1] == ' ') --an;
    while (bn > 0 && b[bn - 1] == ' ') --bn;
    const auto* ua = reinterpret_cast<const unsigned char*>(a);
    const auto* ub = reinterpret_cast<const unsigned char*>(b);
    int i = 0;
    int j = 0;
    while (i < an && j < bn) {
        if (ua[i] == ub[j] && ua[i] < 0x80) {
            ++i;
            ++j;
            continue;
        }
        const uint32_t wa = weigh(next(ua, an, i));
        const uint32_t wb = weigh(next(ub, bn, j));
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (i < an) return 1;
    if (j < bn) return -1;
    return 0;
}

int compareIn(const TextCollation& k, const char* a, int an, const char* b, int bn)
{
    return compareByWeight(a, an, b, bn, [&k](char32_t c) {
        const char32_t f = foldIn(c, k);
        return k.turkish && !k.binary ? weight(f) : uint32_t(f);
    });
}

int compareCallback(void* collation, int an, const void* a, int bn, const void* b)
{
    const auto* k = static_cast<const TextCollation*>(collation);
    t_seen = k;
    if (k->turkish && k->caseInsensitive && !k->binary && !k->accentInsensitive)
        return turkishCompare(static_cast<const char*>(a), an, static_cast<const char*>(b), bn);
    return compareIn(*k, static_cast<const char*>(a), an, static_cast<const char*>(b), bn);
}

// A collation a statement names (a column's declaration, COLLATE in an expression) is
// registered when SQLite first needs it.
void collationNeeded(void*, sqlite3* db, int, const char* name)
{
    TextCollation k;
    if (!collationFromName(QString::fromUtf8(name), k)) return;
    sqlite3_create_collation_v2(db, name, SQLITE_UTF8, new TextCollation(k), compareCallback,
        [](void* p) { delete static_cast<TextCollation*>(p); });
}

// orra_group_key(x): the Turkish group key of a text (see turkishGroupKey); other values as they are.
void groupKeyFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    // a short text's key is made on the stack (most group keys are names and codes)
    constexpr int kShort = 128;
    char shortKey[3 * kShort];
    std::vector<char> longKey;
    char* key = shortKey;
    if (n > kShort) {
        longKey.resize(size_t(n) * 3);
        key = longKey.data();
    }
    // as text: SQLite sorts text keys by its quickest comparison
    sqlite3_result_text(ctx, key, turkishGroupKey(text, n, key), SQLITE_TRANSIENT);
}

// orra_collation_probe(x): x, forgetting the collation seen last, so that "probe(x) = x"
// leaves x's own collation seen.
void probeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    t_seen = nullptr;
    sqlite3_result_value(ctx, argv[0]);
}

// orra_like_subject(x, probe [, unicode]): x, with its collation kept for the LIKE that follows
// (the server's own without a probe), Unicode's when the third argument is 1.
void likeSubjectFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    t_likeSubject = sqlite3_value_type(argv[1]) == SQLITE_NULL ? kDefault : probedCollation();
    if (argc > 2 && sqlite3_value_int(argv[2]) == 1) t_likeSubject.unicode = true;
    t_likeMarked = true;
    sqlite3_result_value(ctx, argv[0]);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // like(pattern, text [, escape]) as SQLite calls it for "text LIKE pattern"; the subject's
    // mark is this call's, whatever its values.
    const TextCollation k = t_likeMarked ? t_likeSubject : kDefault;
    t_likeMarked = false;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    const QString pattern =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
    QChar escape;
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const QString e = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
        if (e.size() != 1) {
            const QByteArray m = QStringLiteral("The invalid escape character \"%1\" was specified in a LIKE predicate.").arg(e).toUtf8();
            return sqlite3_result_error(ctx, m.constData(), int(m.size()));
        }
        escape = e.at(0);
    }
    sqlite3_result_int(ctx, likeIn(pattern, text, escape, k) ? 1 : 0);
}

}   // namespace

QString turkishFold(const QString& s)
{
    QString r;
    r.reserve(s.size());
    for (char32_t c : s.toUcs4()) {
        const char32_t f = foldChar(c);
        if (f < 0x10000)
            r += QChar(char16_t(f));
        else
            r += QString::fromUcs4(&f, 1);
    }
    return r;
}

int turkishCompare(const char* a, int an, const char* b, int bn)
{
    return compareByWeight(a, an, b, bn, [](char32_t c) { return weight(foldChar(c)); });
}

int turkishGroupKey(const char* s, int n, char* out)
{
    while (n > 0 && s[n - 1] == ' ') --n;
    const auto* u = reinterpret_cast<const unsigned char*>(s);
    char* const start = out;
    for (int i = 0; i < n;) {
        const char32_t f = foldChar(next(u, n, i));
        if (f < 0x80) {
            *out++ = char(f);
        } else if (f < 0x800) {
            *out++ = char(0xC0 | (f >> 6));
            *out++ = char(0x80 | (f & 0x3F));
        } else if (f < 0x10000) {
            *out++ = char(0xE0 | (f >> 12));
            *out++ = char(0x80 | ((f >> 6) & 0x3F));
            *out++ = char(0x80 | (f & 0x3F));
        } else {
            *out++ = char(0xF0 | (f >> 18));
            *out++ = char(0x80 | ((f >> 12) & 0x3F));
            *out++ = char(0x80 | ((f >> 6) & 0x3F));
            *out++ = char(0x80 | (f & 0x3F));
        }
    }
    return int(out - start);
}

bool turkishLike(const QString& pattern, const QString& text, QChar escape)
{
    return likeIn(pattern, text, escape, kDefault);
}

bool likeIn(const QString& pattern, const QString& text, QChar escape, const TextCollation& collation)
{
    const TextCollation& k0 = collation;
    auto fold = [&](const QString& x) {
        std::u32string r = x.toStdU32String();
        for (char32_t& c : r) c = foldIn(c, k0);
        return r;
    };
    auto weight = [&](char32_t c) { return k0.turkish && !k0.binary ? orra::embedded::weight(c) : uint32_t(c); };
    const std::u32string p = fold(pattern);
    QString t = text;
    // The trailing blanks of a Unicode text count; of any other, only as far as the pattern has them.
    if (!k0.unicode)
        while (t.endsWith(u' ') && !pattern.endsWith(u' ')) t.chop(1);
    const std::u32string s = fold(t);
    const char32_t esc = escape.isNull() ? 0 : foldIn(escape.unicode(), k0);
    // The pattern's elements: a character, _ (any one), % (any run) or a set [ … ] / [^ … ] of
    // characters and ranges. The escape character makes the one after it a plain character,
    // inside a set too (a caret, a hyphen, a closing bracket).
    struct Member {
        char32_t low, high;
    };
    struct Element {
        enum { Char, One, Run, Set } kind;
        char32_t c = 0;
        std::vector<Member> members{};
        bool negate = false;
    };
    std::vector<Element> elements;
    for (size_t k = 0; k < p.size();) {
        const char32_t c = p[k];
        if (esc && c == esc) {
            if (k + 1 >= p.size()) return false;   // nothing to escape: the pattern matches nothing
            elements.push_back({Element::Char, p[k + 1]});
            k += 2;
            continue;
        }
        if (c == U'%' || c == U'_') {
            elements.push_back({c == U'%' ? Element::Run : Element::One});
            ++k;
            continue;
        }
        size_t e = k + 1;
        if (c == U'[')
            while (e < p.size() && p[e] != U']') e += esc && p[e] == esc && e + 1 < p.size() ? 2 : 1;
        if (c != U'[' || e >= p.size()) {   // a plain character (also a bracket never closed)
            elements.push_back({Element::Char, c});
            ++k;
            continue;
        }
        Element set{Element::Set};
        size_t q = k + 1;
        if (q < e && p[q] == U'^') {
            set.negate = true;
            ++q;
        }
        // one member's character at q (an escaped one after the escape), q then past it
        auto member = [&](size_t& at) {
            if (esc && p[at] == esc && at + 1 < e) ++at;
            return p[at++];
        };
        while (q < e) {
            const char32_t low = member(q);
            if (q + 1 < e && p[q] == U'-') {
                ++q;
                set.members.push_back({low, member(q)});
            } else {
                set.members.push_back({low, low});
            }
        }
        elements.push_back(set);
        k = e + 1;
    }
    auto inSet = [&](const Element& set, char32_t ch) {
        for (const Member& m : set.members)
            if (m.low == m.high ? ch == m.low : weight(ch) >= weight(m.low) && weight(ch) <= weight(m.high)) return true;
        return false;
    };
    // Dynamic programming over the elements.
    const size_t n = s.size();
    std::vector<char> cur(n + 1, 0), nxt(n + 1, 0);
    cur[0] = 1;
    for (const Element& el : elements) {
        std::fill(nxt.begin(), nxt.end(), 0);
        if (el.kind == Element::Run) {
            char any = 0;
            for (size_t i = 0; i <= n; ++i) {
                any = any || cur[i];
                nxt[i] = any;
            }
        } else {
            for (size_t i = 0; i < n; ++i) {
                if (!cur[i]) continue;
                const bool fits = el.kind == Element::One || (el.kind == Element::Char && s[i] == el.c)
                    || (el.kind == Element::Set && inSet(el, s[i]) != el.negate);
                if (fits) nxt[i + 1] = 1;
            }
        }
        std::swap(cur, nxt);
    }
    return cur[n] != 0;
}

TextCollation probedCollation() { return t_seen ? *t_seen : kDefault; }

bool collationFromName(const QString& name, TextCollation& out)
{
    QString n = name.toUpper();
    out = TextCollation();
    if (n.endsWith(QLatin1String("_N"))) {
        out.unicode = true;
        n.chop(2);
    }
    if (n == u"TR_CI") return true;
    const bool binary = n.contains(QLatin1String("_BIN"));
    const bool ci = n.contains(QLatin1String("_CI_")) || n.endsWith(QLatin1String("_CI"));
    const bool cs = n.contains(QLatin1String("_CS_")) || n.endsWith(QLatin1String("_CS"));
    if (!binary && !ci && !cs) return false;
    out.turkish = n.startsWith(QLatin1String("TURKISH_"));
    out.binary = binary;
    out.caseInsensitive = ci && !binary;
    out.accentInsensitive = !binary && (n.contains(QLatin1String("_AI_")) || n.endsWith(QLatin1String("_AI")));
    return true;
}

QString collationNameFor(const QString& declared, bool unicode)
{
    // The server's own collation (Turkish, case-insensitive) under its own name.
    TextCollation k;
    const bool own = declared.isEmpty() || !collationFromName(declared, k)
        || (k.turkish && k.caseInsensitive && !k.binary && !k.accentInsensitive);
    const QString base = own ? QStringLiteral("TR_CI") : declared;
    return unicode ? base + QStringLiteral("_N") : base;
}

QString comparableIn(const QString& s, const TextCollation& c)
{
    std::u32string r = s.toStdU32String();
    for (char32_t& ch : r) ch = foldIn(ch, c);
    return QString::fromStdU32String(r);
}

QString upperIn(const QString& s, const TextCollation& c)
{
    if (c.turkish) return turkishFold(s);
    return s.toUpper();
}

QString lowerIn(const QString& s, const TextCollation& c)
{
    if (!c.turkish) return s.toLower();
    QString r;
    r.reserve(s.size());
    for (QChar ch : s) {
        if (ch == u'I')
            r += QChar(0x131);
        else if (ch.unicode() == 0x130)
            r += u'i';
        else
            r += ch.toLower();
    }
    return r;
}

void registerCollation(sqlite3* db)
{
    static const TextCollation turkish{};
    static const TextCollation turkishUnicode{true, true, false, true};
    sqlite3_create_collation_v2(db, "TR_CI", SQLITE_UTF8, const_cast<TextCollation*>(&turkish), compareCallback, nullptr);
    sqlite3_create_function_v2(db, "orra_group_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
        nullptr, groupKeyFunction, nullptr, nullptr, nullptr);
    sqlite3_create_collation_v2(
        db, "TR_CI_N", SQLITE_UTF8, const_cast<TextCollation*>(&turkishUnicode), compareCallback, nullptr);
    sqlite3_collation_needed(db, nullptr, collationNeeded);
    sqlite3_create_function_v2(db, "orra_collation_probe", 1, SQLITE_UTF8, nullptr, probeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_like_subject", 2, SQLITE_UTF8, nullptr, likeSubjectFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "orra_like_subject", 3, SQLITE_UTF8, nullptr, likeSubjectFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
