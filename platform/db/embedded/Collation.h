#pragma once
// The text comparison of the embedded server: case-insensitive in the Turkish manner
// (I and ı are one letter, İ and i another), accent-sensitive, trailing blanks ignored, and
// ordered by the Turkish alphabet (… C Ç D …, G Ğ H, I İ J, O Ö P, S Ş T, U Ü V).

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace orra::embedded {

// What a text's collation decides: the Turkish or the general case rules, whether case
// counts, binary comparison, and whether the text is Unicode (nchar, nvarchar: their trailing
// blanks count in LIKE). The server's default is Turkish, case-insensitive, not Unicode.
struct TextCollation {
    bool turkish = true;
    bool caseInsensitive = true;
    bool binary = false;
    bool unicode = false;
    bool accentInsensitive = false;   // _AI: é compares as e
};

// The SQLite collation name a text column is declared with: the declared SQL Server collation
// (the server's Turkish one, TR_CI, when none) and "_N" for the Unicode types.
QString collationNameFor(const QString& declared, bool unicode);
// The collation a name stands for; false for a name that is not a collation.
bool collationFromName(const QString& name, TextCollation& out);

// The collation of the text that the last orra_collation_probe(x) = x compared (the default
// when x has none): SQL functions learn their argument's collation this way.
TextCollation probedCollation();

// The text as the collation compares it (folded to upper case when case does not count).
QString comparableIn(const QString& s, const TextCollation& c);

// Upper and lower case as the collation has them.
QString upperIn(const QString& s, const TextCollation& c);
QString lowerIn(const QString& s, const TextCollation& c);

// Upper case in the Turkish manner (i → İ, ı → I).
QString turkishFold(const QString& s);

// Compares two UTF-8 texts; <0, 0, >0.
int turkishCompare(const char* a, int aLength, const char* b, int bLength);
// Bytes that are equal exactly when turkishCompare finds the texts equal (the folded text in
// UTF-8, without trailing blanks): a GROUP BY over them groups with SQLite's own binary
// comparison, without calling the collation. Written to out, which holds 3 * length bytes;
// gives the key's length.
int turkishGroupKey(const char* s, int length, char* out);

// LIKE in the server's manner: % _ [set] [^set] [a-z], case-insensitive as above.
bool turkishLike(const QString& pattern, const QString& text, QChar escape = QChar());
// LIKE under a collation; the trailing blanks of a Unicode text count.
bool likeIn(const QString& pattern, const QString& text, QChar escape, const TextCollation& c);

// Registers the collation "TR_CI", the declared collations as statements name them, the
// like() override and the probes (orra_collation_probe, orra_like_subject) on a handle.
void registerCollation(sqlite3* db);

}   // namespace orra::embedded
