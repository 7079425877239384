// A copy of a template workbook whose named sheet receives the cells: the template's parts
// are read with libzip, the sheet's XML and the style sheet are edited with pugixml, and the
// parts are written to the new file in their original order.

#include "platform/spreadsheet/SheetWriter.h"

#include "platform/host/Error.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <vector>
#include <zip.h>

namespace orra::spreadsheet {
namespace {

const char* const kSheetMainType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kTemplateMainType = "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";

QString source() { return QStringLiteral("Workbook"); }

struct Part {
    std::string name;
    std::string data;
};

std::string columnLetters(int column)
{
    std::string s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
    return s;
}

std::string cellRef(int row, int column) { return columnLetters(column) + std::to_string(row + 1); }

// 0-based column of a reference such as "AB12"; -1 when it has no letters.
int columnOfRef(const char* ref)
{
    int c = 0;
    bool any = false;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref) {
        c = c * 26 + (*ref - 'A' + 1);
        any = true;
    }
    return any ? c - 1 : -1;
}

// Excel writes characters that XML 1.0 cannot hold as "_xHHHH_", and a literal "_x" that
// would read as such an escape with its underscore escaped.
std::string escapeCellText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if ((ch < 0x20 && ch != u'\t' && ch != u'\n' && ch != u'\r') || ch == 0xFFFE || ch == 0xFFFF) {
            out +=
                QStringLiteral("_x%1_").arg(QString::number(int(ch), 16).toUpper().rightJustified(4, QLatin1Char('0')));
        } else if (ch == u'_' && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x')
            && text.at(i + 6) == QLatin1Char('_')) {
            bool hex = true;
            for (int k = 2; k < 6; ++k) hex = hex && isxdigit(text.at(i + k).toLatin1());
            out += hex ? QStringLiteral("_x005F_") : QStringLiteral("_");
        } else {
            out += QChar(ch);
        }
    }
    return out.toStdString();
}

// The width a sheet stores for a column shown w characters wide: the characters of the
// default font's digit width (7 pixels) plus 5 pixels of padding, in 1/256 steps.
double storedColumnWidth(double w)
{
    if (w <= 0) return 0;
    const double pixels = w < 1 ? int(w * 12 + 0.5) : int(w * 7 + 0.5) + 5;
    return int(pixels / 7.0 * 256.0) / 256.0;
}

std::string dirOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target resolved against the folder of the part that names it.
std::string resolveTarget(const std::string& fromPart, const std::string& target)
{
    std::string path = target.rfind('/', 0) == 0 ? target.substr(1) : dirOf(fromPart) + target;
    // Fold "x/../" and "./".
    std::vector<std::string> pieces;
    std::stringstream ss(path);
    std::string piece;
    while (std::getline(ss, piece, '/')) {
        if (piece == "..") {
            if (!pieces.empty()) pieces.pop_back();
        } else if (!piece.empty() && piece != ".") {
            pieces.push_back(piece);
        }
    }
    std::string out;
    for (const auto& p : pieces) out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string relsPathOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return dirOf(part) + "_rels/" + file + ".rels";
}

bool endsWith(const char* s, const char* suffix)
{
    const size_t n = std::strlen(s), m = std::strlen(suffix);
    return n >= m && std::strcmp(s + n - m, suffix) == 0;
}

// The value of an attribute whatever its namespace prefix ("r:id" usually).
pugi::xml_attribute attributeByLocalName(pugi::xml_node node, const char* local)
{
    for (pugi::xml_attribute a : node.attributes()) {
        const char* name = a.name();
        const char* colon = std::strrchr(name, ':');
        if (std::strcmp(colon ? colon + 1 : name, local) == 0) return a;
    }
    return {};
}

std::string saveXml(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single;

class TemplateSheetWriter final : public SheetWriter {
public:
    TemplateSheetWriter(const QString& path, const QString& templatePath, const QString& sheetName)
        : m_path(path), m_sheetName(sheetName)
    {
        readParts(templatePath);
        locateParts(templatePath, sheetName);
        indexRows();
    }

    int addNumberFormat(const QString& code) override
    {
        if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return 0;
        const std::string fmt = code.toStdString();
        pugi::xml_node styleSheet = m_styles.child("styleSheet");
        pugi::xml_node numFmts = styleSheet.child("numFmts");
        if (!numFmts) numFmts = styleSheet.prepend_child("numFmts");
        int id = -1, maxId = 163;
        for (pugi::xml_node f : numFmts.children("numFmt")) {
            const int fid = f.attribute("numFmtId").as_int();
            maxId = std::max(maxId, fid);
            if (fmt == f.attribute("formatCode").value()) id = fid;
        }
        if (id < 0) {
            id = maxId + 1;
            pugi::xml_node f = numFmts.append_child("numFmt");
            f.append_attribute("numFmtId") = id;
            f.append_attribute("formatCode") = fmt.c_str();
        }
        setCount(numFmts, "numFmt");
        pugi::xml_node cellXfs = styleSheet.child("cellXfs");
        if (!cellXfs)
            throw Error(kErrorWorkbook, source(), QStringLiteral("The template's style sheet has no cell formats"));
        pugi::xml_node xf = cellXfs.append_child("xf");
        xf.append_attribute("numFmtId") = id;
        xf.append_attribute("fontId") = 0;
        xf.append_attribute("fillId") = 0;
        xf.append_attribute("borderId") = 0;
        xf.append_attribute("xfId") = 0;
        xf.append_attribute("applyNumberFormat") = 1;
        const int index = setCount(cellXfs, "xf") - 1;
        m_stylesChanged = true;
        return index;
    }

    void setColumnCount(int columns) override { m_columnCount = columns; }

    void writeString(int row, int column, const QString& text, int format) override
    {
        pugi::xml_node c = newCell(row, column, format);
        c.append_attribute("t") = "inlineStr";
        pugi::xml_node t = c.append_child("is").append_child("t");
        const QString cut = text.size() > kMaxCellTextLength ? text.left(kMaxCellTextLength) : text;
        if (!cut.isEmpty() && (cut.front().isSpace() || cut.back().isSpace()))
            t.append_attribute("xml:space") = "preserve";
        t.text().set(escapeCellText(cut).c_str());
    }

    void writeUtf8(int row, int column, const QByteArray& text, int format) override
    {
        writeString(row, column, QString::fromUtf8(text), format);
    }

    void writeNumber(int row, int column, double value, int format) override
    {
        pugi::xml_node c = newCell(row, column, format);
        // the shortest text that reads back as the same number: 76493.74, not 76493.740000000005
        char buf[32];
        const auto end = std::to_chars(buf, buf + sizeof buf - 1, value).ptr;
        *end = '\0';
        c.append_child("v").text().set(buf);
    }

    void writeBoolean(int row, int column, bool value, int format) override
    {
        pugi::xml_node c = newCell(row, column, format);
        c.append_attribute("t") = "b";
        c.append_child("v").text().set(value ? "1" : "0");
    }

    void setColumn(int column, double width, int format) override { m_columns[column] = {width, format}; }

    QString sheetName() const override { return m_sheetName; }

    // A further sheet after the template's sheets: a new, empty worksheet part, related to the
    // workbook and listed in it and in the content types.
    bool addSheet(const QString& name) override
    {
        m_finished.push_back({m_sheetPart, std::move(m_sheet)});
        m_sheet.reset();
        m_rows.clear();
        m_currentRowIndex = -1;
        m_currentRow = pugi::xml_node();

        const std::string folder = dirOf(m_workbookPart);
        std::string partName;
        for (int n = 1;; ++n) {
            partName = folder + "worksheets/sheet" + std::to_string(n) + ".xml";
            if (!part(partName)) break;
        }
        m_parts.push_back({partName, std::string()});
        m_sheetPart = partName;
        const std::string xml = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                                "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                                "<sheetData/></worksheet>";
        m_sheet.load_string(xml.c_str(), kParseOptions);
        m_sheetData = m_sheet.child("worksheet").child("sheetData");

        pugi::xml_node rels = m_workbookRels.child("Relationships");
        std::string relId;
        for (int n = 1;; ++n) {
            relId = "rIdOrra" + std::to_string(n);
            bool used = false;
            for (pugi::xml_node r : rels.children("Relationship")) used = used || relId == r.attribute("Id").value();
            if (!used) break;
        }
        pugi::xml_node rel = rels.append_child("Relationship");
        rel.append_attribute("Id") = relId.c_str();
        rel.append_attribute("Type") = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
        rel.append_attribute("Target") = partName.substr(folder.size()).c_str();

        pugi::xml_node sheets = m_workbook.child("workbook").child("sheets");
        int sheetId = 0;
        std::string idAttribute = "r:id";
        for (pugi::xml_node sh : sheets.children("sheet")) {
            sheetId = std::max(sheetId, sh.attribute("sheetId").as_int());
            if (pugi::xml_attribute a = attributeByLocalName(sh, "id")) idAttribute = a.name();
        }
        pugi::xml_node sheet = sheets.append_child("sheet");
        sheet.append_attribute("name") = name.toUtf8().constData();
        sheet.append_attribute("sheetId") = sheetId + 1;
        sheet.append_attribute(idAttribute.c_str()) = relId.c_str();

        pugi::xml_node type = m_contentTypes.child("Types").append_child("Override");
        type.append_attribute("PartName") = ("/" + partName).c_str();
        type.append_attribute("ContentType") =
            "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
        m_sheetsAdded = true;
        m_sheetName = name;
        return true;
    }

    void close() override
    {
        finishSheet();
        QFile::remove(m_path);
        int err = 0;
        const QByteArray file = QFile::encodeName(m_path);
        zip_t* z = zip_open(file.constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        if (!z) throw Error(kErrorWorkbook, source(), QStringLiteral("Cannot create the workbook %1").arg(m_path));
        for (const Part& p : m_parts) {
            if (p.name == m_calcChainPart) continue;   // the spreadsheet rebuilds it
            zip_source_t* src = zip_source_buffer(z, p.data.data(), p.data.size(), 0);
            if (!src || zip_file_add(z, p.name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
                if (src) zip_source_free(src);
                const QString why = QString::fromUtf8(zip_strerror(z));
                zip_discard(z);
                QFile::remove(m_path);
                throw Error(
                    kErrorWorkbook, source(), QStringLiteral("Cannot write the workbook %1: %2").arg(m_path, why));
            }
        }
        if (zip_close(z) != 0) {
            const QString why = QString::fromUtf8(zip_strerror(z));
            zip_discard(z);
            QFile::remove(m_path);
            throw Error(kErrorWorkbook, source(), QStringLiteral("Cannot write the workbook %1: %2").arg(m_path, why));
        }
    }

private:
    Part* part(const std::string& name)
    {
        for (Part& p : m_parts)
            if (p.name == name) return &p;
        return nullptr;
    }

    void parse(pugi::xml_document& doc, const std::string& name, const QString& templatePath)
    {
        Part* p = part(name);
        if (!p || !doc.load_buffer(p->data.data(), p->data.size(), kParseOptions))
            throw Error(kErrorWorkbook, source(),
                QStringLiteral("The template %1 is not a workbook (part %2 is missing or unreadable)")
                    .arg(templatePath, QString::fromStdString(name)));
    }

    void readParts(const QString& templatePath)
    {
        int err = 0;
        const QByteArray file = QFile::encodeName(templatePath);
        zip_t* z = zip_open(file.constData(), ZIP_RDONLY, &err);
        if (!z)
            throw Error(
                kErrorWorkbook, source(), QStringLiteral("Cannot open the template workbook %1").arg(templatePath));
        const zip_int64_t n = zip_get_num_entries(z, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
            zip_stat_t st;
            zip_file_t* f = nullptr;
            if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0 || !(f = zip_fopen_index(z, zip_uint64_t(i), 0))) {
                zip_discard(z);
                throw Error(
                    kErrorWorkbook, source(), QStringLiteral("Cannot read the template workbook %1").arg(templatePath));
            }
            Part p;
            p.name = st.name;
            p.data.resize(size_t(st.size));
            const zip_int64_t got = st.size ? zip_fread(f, p.data.data(), st.size) : 0;
            zip_fclose(f);
            if (got != zip_int64_t(st.size)) {
                zip_discard(z);
                throw Error(
                    kErrorWorkbook, source(), QStringLiteral("Cannot read the template workbook %1").arg(templatePath));
            }
            m_parts.push_back(std::move(p));
        }
        zip_discard(z);
    }

    void locateParts(const QString& templatePath, const QString& sheetName)
    {
        // The package's relationships name the workbook part.
        pugi::xml_document rootRels;
        parse(rootRels, "_rels/.rels", templatePath);
        std::string workbookPart = "xl/workbook.xml";
        for (pugi::xml_node r : rootRels.child("Relationships").children("Relationship"))
            if (endsWith(r.attribute("Type").value(), "/officeDocument"))
                workbookPart = resolveTarget("", r.attribute("Target").value());
        m_workbookPart = workbookPart;
        parse(m_workbook, workbookPart, templatePath);
        m_workbookRelsPart = relsPathOf(workbookPart);
        parse(m_workbookRels, m_workbookRelsPart, templatePath);

        std::string sheetRel;
        for (pugi::xml_node s : m_workbook.child("workbook").child("sheets").children("sheet")) {
            if (QString::fromUtf8(s.attribute("name").value()).compare(sheetName, Qt::CaseInsensitive) == 0) {
                sheetRel = attributeByLocalName(s, "id").value();
                break;
            }
        }
        if (sheetRel.empty() || sheetName.isEmpty())
            throw Error(kErrorUnknownSheet, source(),
                QStringLiteral("The template %1 has no sheet named \"%2\"")
                    .arg(QFileInfo(templatePath).fileName(), sheetName));

        for (pugi::xml_node r : m_workbookRels.child("Relationships").children("Relationship")) {
            const char* type = r.attribute("Type").value();
            const std::string target = resolveTarget(workbookPart, r.attribute("Target").value());
            if (sheetRel == r.attribute("Id").value()) m_sheetPart = target;
            if (endsWith(type, "/styles")) m_stylesPart = target;
            if (endsWith(type, "/calcChain")) m_calcChainPart = target;
        }
        if (m_sheetPart.empty())
            throw Error(kErrorUnknownSheet, source(),
                QStringLiteral("The template %1 has no sheet named \"%2\"")
                    .arg(QFileInfo(templatePath).fileName(), sheetName));
        parse(m_sheet, m_sheetPart, templatePath);
        if (m_stylesPart.empty())
            throw Error(
                kErrorWorkbook, source(), QStringLiteral("The template %1 has no style sheet").arg(templatePath));
        parse(m_styles, m_stylesPart, templatePath);
        parse(m_contentTypes, "[Content_Types].xml", templatePath);
    }

    // Numbers every row and cell of the template's sheet (the attributes are optional).
    void indexRows()
    {
        pugi::xml_node ws = m_sheet.child("worksheet");
        m_sheetData = ws.child("sheetData");
        if (!m_sheetData)
            throw Error(kErrorWorkbook, source(), QStringLiteral("The template's sheet has no cell data"));
        int rowNumber = 0;
        for (pugi::xml_node r : m_sheetData.children("row")) {
            const int given = r.attribute("r").as_int(0);
            rowNumber = given > 0 ? given : rowNumber + 1;
            if (given <= 0) r.append_attribute("r") = rowNumber;
            m_rows[rowNumber - 1] = r;
            int col = -1;
            for (pugi::xml_node c : r.children("c")) {
                const int given = columnOfRef(c.attribute("r").value());
                col = given >= 0 ? given : col + 1;
                if (given < 0) {
                    c.remove_attribute("r");
                    c.append_attribute("r") = cellRef(rowNumber - 1, col).c_str();
                }
            }
        }
    }

    pugi::xml_node enterRow(int row)
    {
        if (row == m_currentRowIndex) return m_currentRow;
        auto it = m_rows.find(row);
        pugi::xml_node r;
        if (it != m_rows.end()) {
            r = it->second;
            r.remove_attribute("spans");
            // The data replaces the template's cells of its columns in this row.
            for (pugi::xml_node c = r.child("c"); c;) {
                pugi::xml_node next = c.next_sibling("c");
                if (columnOfRef(c.attribute("r").value()) < m_columnCount) r.remove_child(c);
                c = next;
            }
        } else {
            auto after = m_rows.upper_bound(row);
            r = after == m_rows.end() ? m_sheetData.append_child("row")
                                      : m_sheetData.insert_child_before("row", after->second);
            r.append_attribute("r") = row + 1;
            m_rows[row] = r;
        }
        m_currentRowIndex = row;
        m_currentRow = r;
        return r;
    }

    pugi::xml_node newCell(int row, int column, int format)
    {
        pugi::xml_node r = enterRow(row);
        pugi::xml_node before;
        for (pugi::xml_node c = r.child("c"); c; c = c.next_sibling("c")) {
            const int col = columnOfRef(c.attribute("r").value());
            if (col == column) {
                before = c.next_sibling("c");
                r.remove_child(c);
                break;
            }
            if (col > column) {
                before = c;
                break;
            }
        }
        pugi::xml_node c = before ? r.insert_child_before("c", before) : r.append_child("c");
        c.append_attribute("r") = cellRef(row, column).c_str();
        if (format > 0) c.append_attribute("s") = format;
        return c;
    }

    static int setCount(pugi::xml_node parent, const char* child)
    {
        int n = 0;
        for (pugi::xml_node c = parent.child(child); c; c = c.next_sibling(child)) ++n;
        pugi::xml_attribute a = parent.attribute("count");
        if (!a) a = parent.append_attribute("count");
        a = n;
        return n;
    }

    void writeColumns(pugi::xml_node ws, pugi::xml_node sheetData)
    {
        if (m_columns.empty()) return;
        // Expand the template's column ranges, override ours, and write the ranges back.
        struct Col {
            std::vector<std::pair<std::string, std::string>> attrs;
        };
        std::map<int, Col> cols;
        pugi::xml_node colsNode = ws.child("cols");
        if (colsNode) {
            for (pugi::xml_node c : colsNode.children("col")) {
                const int lo = c.attribute("min").as_int(1), hi = std::min(c.attribute("max").as_int(lo), kMaxColumns);
                Col info;
                for (pugi::xml_attribute a : c.attributes())
                    if (std::strcmp(a.name(), "min") != 0 && std::strcmp(a.name(), "max") != 0)
                        info.attrs.emplace_back(a.name(), a.value());
                for (int i = lo; i <= hi; ++i) cols[i] = info;
            }
            ws.remove_child(colsNode);
        }
        for (const auto& [column, spec] : m_columns) {
            Col info;
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.15g", storedColumnWidth(spec.first < 0 ? 8.43 : spec.first));
            info.attrs.emplace_back("width", buf);
            if (spec.first >= 0) info.attrs.emplace_back("customWidth", "1");
            if (spec.second > 0) info.attrs.emplace_back("style", std::to_string(spec.second));
            cols[column + 1] = info;
        }
        // <cols> comes before <sheetData>.
        colsNode = ws.insert_child_before("cols", sheetData);
        for (auto it = cols.begin(); it != cols.end();) {
            auto end = std::next(it);
            int hi = it->first;
            while (end != cols.end() && end->first == hi + 1 && end->second.attrs == it->second.attrs) {
                hi = end->first;
                ++end;
            }
            pugi::xml_node c = colsNode.append_child("col");
            c.append_attribute("min") = it->first;
            c.append_attribute("max") = hi;
            for (const auto& [name, value] : it->second.attrs) c.append_attribute(name.c_str()) = value.c_str();
            it = end;
        }
    }

    void finishSheet()
    {
        m_finished.push_back({m_sheetPart, std::move(m_sheet)});
        for (FinishedSheet& sheet : m_finished) {
            pugi::xml_node ws = sheet.doc.child("worksheet");
            ws.remove_child("dimension");   // optional; the spreadsheet works it out
            writeColumns(ws, ws.child("sheetData"));
            part(sheet.part)->data = saveXml(sheet.doc);
        }
        if (m_stylesChanged) part(m_stylesPart)->data = saveXml(m_styles);
        if (m_sheetsAdded) part(m_workbookRelsPart)->data = saveXml(m_workbookRels);

        // The copy is a workbook, not a template; the calculation chain is rebuilt on load and
        // formulas over the data are recalculated.
        for (pugi::xml_node o : m_contentTypes.child("Types").children("Override")) {
            if (std::strcmp(o.attribute("ContentType").value(), kTemplateMainType) == 0)
                o.attribute("ContentType") = kSheetMainType;
        }
        if (!m_calcChainPart.empty()) {
            const std::string calcName = "/" + m_calcChainPart;
            for (pugi::xml_node o = m_contentTypes.child("Types").child("Override"); o;) {
                pugi::xml_node next = o.next_sibling("Override");
                if (calcName == o.attribute("PartName").value()) m_contentTypes.child("Types").remove_child(o);
                o = next;
            }
            for (pugi::xml_node r = m_workbookRels.child("Relationships").child("Relationship"); r;) {
                pugi::xml_node next = r.next_sibling("Relationship");
                if (endsWith(r.attribute("Type").value(), "/calcChain"))
                    m_workbookRels.child("Relationships").remove_child(r);
                r = next;
            }
            part(m_workbookRelsPart)->data = saveXml(m_workbookRels);
        }
        part("[Content_Types].xml")->data = saveXml(m_contentTypes);

        pugi::xml_node wb = m_workbook.child("workbook");
        pugi::xml_node calcPr = wb.child("calcPr");
        if (!calcPr) {
            // calcPr follows definedNames/sheets and precedes the optional tail elements.
            pugi::xml_node after;
            for (const char* name : {"sheets", "functionGroups", "externalReferences", "definedNames"})
                if (wb.child(name)) after = wb.child(name);
            calcPr = after ? wb.insert_child_after("calcPr", after) : wb.append_child("calcPr");
        }
        if (!calcPr.attribute("fullCalcOnLoad")) calcPr.append_attribute("fullCalcOnLoad");
        calcPr.attribute("fullCalcOnLoad") = "1";
        part(m_workbookPart)->data = saveXml(m_workbook);
    }

    QString m_path;
    QString m_sheetName;
    std::vector<Part> m_parts;
    std::string m_workbookPart, m_workbookRelsPart, m_sheetPart, m_stylesPart, m_calcChainPart;
    pugi::xml_document m_workbook, m_workbookRels, m_sheet, m_styles, m_contentTypes;
    pugi::xml_node m_sheetData;
    std::map<int, pugi::xml_node> m_rows;   // 0-based row -> <row>
    int m_currentRowIndex = -1;
    pugi::xml_node m_currentRow;
    int m_columnCount = 0;
    bool m_stylesChanged = false;
    bool m_sheetsAdded = false;
    std::map<int, std::pair<double, int>> m_columns;   // 0-based column -> width, format
    // Sheets written before the current one (addSheet), kept until close.
    struct FinishedSheet {
        std::string part;
        pugi::xml_document doc;
    };
    std::vector<FinishedSheet> m_finished;
};

}   // namespace

std::unique_ptr<SheetWriter> SheetWriter::fromTemplate(
    const QString& path, const QString& templatePath, const QString& sheetName)
{
    return std::make_unique<TemplateSheetWriter>(path, templatePath, sheetName);
}

}   // namespace orra::spreadsheet
