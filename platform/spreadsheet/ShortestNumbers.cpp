#include "platform/spreadsheet/ShortestNumbers.h"

#include <QFile>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zip.h>

namespace orra::spreadsheet {

std::string shortestNumberCells(const std::string& xml)
{
    std::string out;
    out.reserve(xml.size());
    size_t pos = 0;
    for (;;) {
        const size_t cell = xml.find("<c ", pos);
        if (cell == std::string::npos) break;
        const size_t tagEnd = xml.find('>', cell);
        if (tagEnd == std::string::npos) break;
        const bool typed = xml.compare(tagEnd - 1, 1, "/") == 0
            || std::string_view(xml).substr(cell, tagEnd - cell).find(" t=\"") != std::string_view::npos;
        const size_t valueStart = tagEnd + 1;
        if (typed || xml.compare(valueStart, 3, "<v>") != 0) {
            out.append(xml, pos, valueStart - pos);
            pos = valueStart;
            continue;
        }
        const size_t textStart = valueStart + 3;
        const size_t textEnd = xml.find("</v>", textStart);
        if (textEnd == std::string::npos) break;
        out.append(xml, pos, textStart - pos);
        double d = 0;
        const char* first = xml.data() + textStart;
        const char* last = xml.data() + textEnd;
        const auto parsed = std::from_chars(first, last, d);
        char buf[40];
        const auto written = std::to_chars(buf, buf + sizeof buf, d);
        if (parsed.ec == std::errc() && parsed.ptr == last && written.ec == std::errc())
            out.append(buf, written.ptr);
        else
            out.append(first, last);
        pos = textEnd;
    }
    out.append(xml, pos, std::string::npos);
    return out;
}

bool rewriteShortestNumbers(const QString& path, qint64 maxSheetBytes)
{
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), 0, &error);
    if (!z) return false;
    const zip_int64_t entries = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(z, zip_uint64_t(i), 0);
        if (!name || std::strncmp(name, "xl/worksheets/sheet", 19) != 0) continue;
        zip_stat_t st;
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)
            || qint64(st.size) > maxSheetBytes)
            continue;
        std::string xml(size_t(st.size), '\0');
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        if (!f || zip_fread(f, xml.data(), st.size) != zip_int64_t(st.size)) {
            if (f) zip_fclose(f);
            zip_discard(z);
            return false;
        }
        zip_fclose(f);
        const std::string rewritten = shortestNumberCells(xml);
        if (rewritten == xml) continue;
        // libzip frees the buffer once the archive is written
        void* buffer = std::malloc(rewritten.size() ? rewritten.size() : 1);
        if (!buffer) {
            zip_discard(z);
            return false;
        }
        std::memcpy(buffer, rewritten.data(), rewritten.size());
        zip_source_t* src = zip_source_buffer(z, buffer, rewritten.size(), 1);
        if (!src) {
            std::free(buffer);
            zip_discard(z);
            return false;
        }
        if (zip_file_replace(z, zip_uint64_t(i), src, 0) != 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
        zip_set_file_compression(z, zip_uint64_t(i), ZIP_CM_DEFLATE, 1);   // fast: the pass must stay cheap
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        return false;
    }
    return true;
}

}   // namespace orra::spreadsheet
