#pragma once
// The in-memory editor options of the designer, process-wide: the SQL and script colour tables,
// the two editor fonts and the ten query shortcuts. The main window fills them from the settings
// store at load (LoadEditorSettings) and writes them back (SaveSettings); the Options dialog
// changes them; editor windows read them in ApplySettings and the colouring.
//
// Colours are whole numbers as the settings store keeps them: red + 256 * green + 65536 * blue.

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <cstdint>

namespace morvane {

// Indexes of the SQL colour table: 0 is the editor background, 1 to 10 the colour classes of
// the SQL colouring (its switches \cf1 to \cf10).
enum SqlColorIndex {
    SqlBackColor = 0,
    SqlKeyWords,
    SqlDataType,
    SqlFunctions,
    SqlReserved4,
    SqlLogicOperators,
    SqlStrings,
    SqlNumericValues,
    SqlComments,
    SqlReserved9,
    SqlReserved10,
    SqlColorCount
};
enum ScriptColorIndex {
    ScriptBackColor = 0,
    ScriptVBKeyWords,
    ScriptOrraKeyWords,
    ScriptStrings,
    ScriptOrraParameters,
    ScriptComments,
    ScriptColorCount
};

struct EditorFont {
    QString name = QStringLiteral("Verdana");
    std::int16_t size = 10;
    bool bold = false;
    bool italic = false;

    QFont toQFont() const;
    bool operator==(const EditorFont&) const = default;
};

struct EditorOptions {
    std::array<std::int32_t, SqlColorCount> SQLColors{};
    std::array<std::int32_t, ScriptColorCount> ScriptColors{};
    EditorFont SQLFont;
    EditorFont ScriptFont;
    std::array<QString, 10> QueryShortcuts;   // index 0 = Ctrl+1 ... 8 = Ctrl+9, 9 = Ctrl+0
    QString RtfColorTable;                    // BuildRtfColorTable of SQLColors 1 to 10

    // The defaults of an empty settings store (colour table defaults, Verdana 10 regular).
    static EditorOptions defaults();
};

// The process's editor options (the defaults until LoadEditorSettings ran).
EditorOptions& editorOptions();

// Settings keys of the colour tables, in index order.
extern const std::array<const char*, SqlColorCount> kSqlColorKeys;
extern const std::array<const char*, ScriptColorCount> kScriptColorKeys;
extern const std::array<std::int32_t, SqlColorCount> kSqlColorDefaults;
extern const std::array<std::int32_t, ScriptColorCount> kScriptColorDefaults;

// red + 256 * green + 65536 * blue.
constexpr std::int32_t RGBColor(int red, int green, int blue) { return red + 256 * green + 65536 * blue; }
// blue = colour / 65536, green = the rest / 256, red = what remains.
void SplitColor(std::int32_t color, std::int16_t& red, std::int16_t& green, std::int16_t& blue);
QColor toQColor(std::int32_t color);
std::int32_t fromQColor(const QColor& color);

// The rich-text colour table of SQL colours 1 to 10: "\redR\greenG\blueB;" per colour, then "}".
QString BuildRtfColorTable(const EditorOptions& options);

}   // namespace morvane
