#pragma once
// The system's ANSI code page: the single-byte code page in which row checksums,
// stored passwords and VBScript's Asc/Chr see text. Windows-1254 (Turkish) unless
// configured otherwise (ORRA_CODEPAGE environment variable or the "Main Settings/CodePage"
// per-user setting, a number such as 1252 or 1254).

#include <QString>
#include <array>
#include <cstdint>

namespace orra::text {

class AnsiCodePage {
public:
    // The code page in force for this process (built once, on first use).
    static const AnsiCodePage& system();
    // Replace the process code page (tests, configuration); returns false for an unknown number.
    static bool setSystem(int codePage);

    // A supported Windows single-byte code page: 1250, 1251, 1252, 1253, 1254, 1257.
    static bool isSupported(int codePage);
    explicit AnsiCodePage(int codePage);

    int number() const { return m_number; }
    // The byte for a UTF-16 code unit; characters outside the code page become '?' (63).
    uint8_t toByte(char16_t ch) const
    {
        if (ch < 0x80) return static_cast<uint8_t>(ch);
        return slowToByte(ch);
    }
    bool contains(char16_t ch) const { return ch < 0x80 || slowToByte(ch) != '?' || ch == u'?'; }
    char16_t toChar(uint8_t byte) const { return m_toUnicode[byte]; }

    QByteArray encode(const QString& s) const;
    QString decode(const QByteArray& bytes) const;

private:
    uint8_t slowToByte(char16_t ch) const;
    int m_number;
    std::array<char16_t, 256> m_toUnicode{};
    // Sorted (unicode, byte) pairs of the upper half for binary search.
    std::array<std::pair<char16_t, uint8_t>, 128> m_upper{};
};

}   // namespace orra::text
