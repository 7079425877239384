#include "platform/db/embedded/Collation.h"

#include <sqlite3.h>

#include <QList>
#include <vector>

namespace orra::embedded {

namespace {

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

int compareCallback(void*, int an, const void* a, int bn, const void* b)
{
    return turkishCompare(static_cast<const char*>(a), an, static_cast<const char*>(b), bn);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // like(pattern, text [, escape]) as SQLite calls it for "text LIKE pattern".
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
    const QString pattern =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
    QChar escape;
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const QString e = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
        if (!e.isEmpty()) escape = e.at(0);
    }
    sqlite3_result_int(ctx, turkishLike(pattern, text, escape) ? 1 : 0);
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
    while (an > 0 && a[an - 1] == ' ') --an;
    while (bn > 0 && b[bn - 1] == ' ') --bn;
    const auto* ua = reinterpret_cast<const unsigned char*>(a);
    const auto* ub = reinterpret_cast<const unsigned char*>(b);
    int i = 0;
    int j = 0;
    while (i < an && j < bn) {
        // Fast path: equal ASCII bytes that fold alike.
        if (ua[i] == ub[j] && ua[i] < 0x80) {
            ++i;
            ++j;
            continue;
        }
        const uint32_t wa = weight(foldChar(next(ua, an, i)));
        const uint32_t wb = weight(foldChar(next(ub, bn, j)));
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (i < an) return 1;
    if (j < bn) return -1;
    return 0;
}

bool turkishLike(const QString& pattern, const QString& text, QChar escape)
{
    const std::u32string p = turkishFold(pattern).toStdU32String();
    QString t = text;
    while (t.endsWith(u' ') && !pattern.endsWith(u' ')) t.chop(1);
    const std::u32string s = turkishFold(t).toStdU32String();
    const char32_t esc = escape.isNull() ? 0 : foldChar(escape.unicode());
    // Dynamic programming over pattern elements.
    const size_t n = s.size();
    std::vector<char> cur(n + 1, 0), nxt(n + 1, 0);
    cur[0] = 1;
    size_t k = 0;
    while (k < p.size()) {
        std::fill(nxt.begin(), nxt.end(), 0);
        char32_t c = p[k];
        if (esc && c == esc && k + 1 < p.size()) {
            const char32_t lit = p[k + 1];
            for (size_t i = 0; i < n; ++i)
                if (cur[i] && s[i] == lit) nxt[i + 1] = 1;
            k += 2;
        } else if (c == U'%') {
            char any = 0;
            for (size_t i = 0; i <= n; ++i) {
                any = any || cur[i];
                nxt[i] = any;
            }
            ++k;
        } else if (c == U'_') {
            for (size_t i = 0; i < n; ++i)
                if (cur[i]) nxt[i + 1] = 1;
            ++k;
        } else if (c == U'[') {
            size_t e = k + 1;
            while (e < p.size() && p[e] != U']') ++e;
            if (e >= p.size()) {
                // No closing bracket: a plain character.
                for (size_t i = 0; i < n; ++i)
                    if (cur[i] && s[i] == c) nxt[i + 1] = 1;
                ++k;
            } else {
                bool negate = false;
                size_t b = k + 1;
                if (b < e && p[b] == U'^') {
                    negate = true;
                    ++b;
                }
                auto inSet = [&](char32_t ch) {
                    for (size_t q = b; q < e; ++q) {
                        if (q + 2 < e && p[q + 1] == U'-') {
                            if (weight(ch) >= weight(p[q]) && weight(ch) <= weight(p[q + 2])) return true;
                            q += 2;
                        } else if (p[q] == ch) {
                            return true;
                        }
                    }
                    return false;
                };
                for (size_t i = 0; i < n; ++i)
                    if (cur[i] && inSet(s[i]) != negate) nxt[i + 1] = 1;
                k = e + 1;
            }
        } else {
            for (size_t i = 0; i < n; ++i)
                if (cur[i] && s[i] == c) nxt[i + 1] = 1;
            ++k;
        }
        std::swap(cur, nxt);
    }
    return cur[n] != 0;
}

void registerCollation(sqlite3* db)
{
    sqlite3_create_collation_v2(db, "TR_CI", SQLITE_UTF8, nullptr, compareCallback, nullptr);
    sqlite3_create_function_v2(
        db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
