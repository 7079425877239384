#include "designer/shell/EditorOptions.h"

namespace morvane {

const std::array<const char*, SqlColorCount> kSqlColorKeys{"BackColor", "KeyWords", "DataType", "Functions",
    "Reserved4", "LogicOperators", "Strings", "NumericValues", "Comments", "Reserved9", "Reserved10"};
const std::array<const char*, ScriptColorCount> kScriptColorKeys{
    "BackColor", "VBKeyWords", "OrraKeyWords", "Strings", "OrraParameters", "Comments"};
const std::array<std::int32_t, SqlColorCount> kSqlColorDefaults{RGBColor(255, 255, 255), RGBColor(0, 0, 255),
    RGBColor(0, 0, 255), RGBColor(255, 0, 255), RGBColor(0, 0, 255), RGBColor(128, 128, 128), RGBColor(255, 0, 0),
    RGBColor(0, 0, 0), RGBColor(0, 128, 128), RGBColor(0, 255, 0), RGBColor(0, 0, 0)};
const std::array<std::int32_t, ScriptColorCount> kScriptColorDefaults{RGBColor(255, 255, 255), RGBColor(0, 0, 128),
    RGBColor(0, 0, 200), RGBColor(200, 0, 0), RGBColor(128, 0, 0), RGBColor(0, 128, 128)};

QFont EditorFont::toQFont() const
{
    QFont font(name);
    font.setPointSize(size > 0 ? size : 10);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

EditorOptions EditorOptions::defaults()
{
    EditorOptions o;
    o.SQLColors = kSqlColorDefaults;
    o.ScriptColors = kScriptColorDefaults;
    o.RtfColorTable = BuildRtfColorTable(o);
    return o;
}

EditorOptions& editorOptions()
{
    static EditorOptions options = EditorOptions::defaults();
    return options;
}

void SplitColor(std::int32_t color, std::int16_t& red, std::int16_t& green, std::int16_t& blue)
{
    blue = std::int16_t(color / 65536);
    const std::int32_t rest = color - std::int32_t(blue) * 65536;
    green = std::int16_t(rest / 256);
    red = std::int16_t(rest - std::int32_t(green) * 256);
}

QColor toQColor(std::int32_t color)
{
    std::int16_t r = 0, g = 0, b = 0;
    SplitColor(color, r, g, b);
    return QColor(std::clamp<int>(r, 0, 255), std::clamp<int>(g, 0, 255), std::clamp<int>(b, 0, 255));
}

std::int32_t fromQColor(const QColor& color) { return RGBColor(color.red(), color.green(), color.blue()); }

QString BuildRtfColorTable(const EditorOptions& options)
{
    QString table;
    for (int i = 1; i <= 10; ++i) {
        std::int16_t r = 0, g = 0, b = 0;
        SplitColor(options.SQLColors[size_t(i)], r, g, b);
        table += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(r).arg(g).arg(b);
    }
    return table + QLatin1Char('}');
}

}   // namespace morvane
