#pragma once
// Reads a produced .xlsx back for the tests: the sheets, each cell's type, value and number
// format, and the column widths and formats. Independent of the writer: libzip + pugixml.

#include <QString>
#include <QStringList>
#include <map>
#include <string>

namespace orra::testing {

struct XlsxCell {
    std::string type;    // "n" number, "s" shared string, "inlineStr", "b" Boolean, "str" formula text
    QString text;        // the text of a string cell, or the raw value
    double number = 0;   // the value of a number or Boolean cell
    int style = 0;
    QString numberFormat;   // "General" or the format code of the cell's style
};

struct XlsxColumn {
    double width = 0;
    bool customWidth = false;
    QString numberFormat;   // of the column's style
};

class XlsxTestReader {
public:
    explicit XlsxTestReader(const QString& path);   // throws std::runtime_error
    QStringList sheetNames() const { return m_sheetNames; }
    // Cells by reference ("A1") of the named sheet (the first when empty).
    std::map<std::string, XlsxCell> cells(const QString& sheet = QString()) const;
    // Columns by 1-based number.
    std::map<int, XlsxColumn> columns(const QString& sheet = QString()) const;
    std::string part(const std::string& name) const;   // raw text of a package part
    bool hasPart(const std::string& name) const { return m_parts.count(name) != 0; }
    QString numberFormatOfStyle(int style) const;

private:
    std::string sheetPart(const QString& sheet) const;
    std::map<std::string, std::string> m_parts;
    QStringList m_sheetNames;
    std::map<QString, std::string> m_sheetParts;
    std::vector<QString> m_sharedStrings;
    std::vector<int> m_xfNumFmt;
    std::map<int, QString> m_numFmts;
};

}   // namespace orra::testing
