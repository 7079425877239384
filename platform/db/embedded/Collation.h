#pragma once
// The text comparison of the embedded server: case-insensitive in the Turkish manner
// (I and ı are one letter, İ and i another), accent-sensitive, trailing blanks ignored, and
// ordered by the Turkish alphabet (… C Ç D …, G Ğ H, I İ J, O Ö P, S Ş T, U Ü V).

#include <QString>

struct sqlite3;

namespace orra::embedded {

// Upper case in the Turkish manner (i → İ, ı → I).
QString turkishFold(const QString& s);

// Compares two UTF-8 texts; <0, 0, >0.
int turkishCompare(const char* a, int aLength, const char* b, int bLength);

// LIKE in the server's manner: % _ [set] [^set] [a-z], case-insensitive as above.
bool turkishLike(const QString& pattern, const QString& text, QChar escape = QChar());

// Registers the collation "TR_CI" and the like() override on a handle.
void registerCollation(sqlite3* db);

}   // namespace orra::embedded
