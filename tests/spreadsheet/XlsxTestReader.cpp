#include "tests/spreadsheet/XlsxTestReader.h"

#include <QFile>
#include <pugixml.hpp>
#include <stdexcept>
#include <zip.h>

namespace orra::testing {
namespace {

void load(pugi::xml_document& doc, const std::string& text)
{
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata))
        throw std::runtime_error("bad xml");
}

QString textOf(pugi::xml_node si)
{
    // A string item: <t> or rich runs <r><t>.
    QString s;
    for (const pugi::xpath_node& n : si.select_nodes(".//t")) s += QString::fromUtf8(n.node().text().get());
    return s;
}

}   // namespace

XlsxTestReader::XlsxTestReader(const QString& path)
{
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) throw std::runtime_error("cannot open " + path.toStdString());
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        std::string data(size_t(st.size), '\0');
        if (st.size) zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        m_parts[st.name] = data;
    }
    zip_discard(z);

    pugi::xml_document wb, rels;
    load(wb, part("xl/workbook.xml"));
    load(rels, part("xl/_rels/workbook.xml.rels"));
    std::map<std::string, std::string> targets;
    for (pugi::xml_node r : rels.child("Relationships").children("Relationship")) {
        std::string t = r.attribute("Target").value();
        if (t.rfind('/', 0) == 0)
            t = t.substr(1);
        else
            t = "xl/" + t;
        targets[r.attribute("Id").value()] = t;
    }
    for (pugi::xml_node s : wb.child("workbook").child("sheets").children("sheet")) {
        const QString name = QString::fromUtf8(s.attribute("name").value());
        m_sheetNames << name;
        m_sheetParts[name] = targets[s.attribute("r:id").value()];
    }
    if (hasPart("xl/sharedStrings.xml")) {
        pugi::xml_document ss;
        load(ss, part("xl/sharedStrings.xml"));
        for (pugi::xml_node si : ss.child("sst").children("si")) m_sharedStrings.push_back(textOf(si));
    }
    pugi::xml_document st;
    load(st, part("xl/styles.xml"));
    for (pugi::xml_node f : st.child("styleSheet").child("numFmts").children("numFmt"))
        m_numFmts[f.attribute("numFmtId").as_int()] = QString::fromUtf8(f.attribute("formatCode").value());
    for (pugi::xml_node xf : st.child("styleSheet").child("cellXfs").children("xf"))
        m_xfNumFmt.push_back(xf.attribute("numFmtId").as_int());
}

std::string XlsxTestReader::part(const std::string& name) const
{
    auto it = m_parts.find(name);
    if (it == m_parts.end()) throw std::runtime_error("no part " + name);
    return it->second;
}

QString XlsxTestReader::numberFormatOfStyle(int style) const
{
    if (style < 0 || size_t(style) >= m_xfNumFmt.size()) return QStringLiteral("?");
    const int id = m_xfNumFmt[size_t(style)];
    if (id == 0) return QStringLiteral("General");
    auto it = m_numFmts.find(id);
    return it == m_numFmts.end() ? QStringLiteral("builtin:%1").arg(id) : it->second;
}

std::string XlsxTestReader::sheetPart(const QString& sheet) const
{
    if (m_sheetNames.isEmpty()) throw std::runtime_error("no sheets");
    auto it = m_sheetParts.find(sheet.isEmpty() ? m_sheetNames.first() : sheet);
    if (it == m_sheetParts.end()) throw std::runtime_error("no sheet " + sheet.toStdString());
    return it->second;
}

std::map<std::string, XlsxCell> XlsxTestReader::cells(const QString& sheet) const
{
    pugi::xml_document doc;
    load(doc, part(sheetPart(sheet)));
    std::map<std::string, XlsxCell> out;
    for (pugi::xml_node row : doc.child("worksheet").child("sheetData").children("row")) {
        for (pugi::xml_node c : row.children("c")) {
            XlsxCell cell;
            cell.type = c.attribute("t") ? c.attribute("t").value() : "n";
            cell.style = c.attribute("s").as_int(0);
            cell.numberFormat = numberFormatOfStyle(cell.style);
            const QString v = QString::fromUtf8(c.child("v").text().get());
            if (cell.type == "s") {
                cell.text = m_sharedStrings.at(size_t(v.toInt()));
            } else if (cell.type == "inlineStr") {
                cell.text = textOf(c.child("is"));
            } else {
                cell.text = v;
                cell.number = v.toDouble();
            }
            out[c.attribute("r").value()] = cell;
        }
    }
    return out;
}

std::map<int, XlsxColumn> XlsxTestReader::columns(const QString& sheet) const
{
    pugi::xml_document doc;
    load(doc, part(sheetPart(sheet)));
    std::map<int, XlsxColumn> out;
    for (pugi::xml_node c : doc.child("worksheet").child("cols").children("col")) {
        for (int i = c.attribute("min").as_int(); i <= c.attribute("max").as_int(); ++i) {
            XlsxColumn col;
            col.width = c.attribute("width").as_double();
            col.customWidth = c.attribute("customWidth").as_bool();
            col.numberFormat = numberFormatOfStyle(c.attribute("style").as_int(0));
            out[i] = col;
        }
    }
    return out;
}

}   // namespace orra::testing
