#include "reports/csv.h"

namespace pw {

Status ParseCsv(std::string_view text, std::vector<CsvRecord>& out)
{
    out.clear();
    size_t line = 1;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        CsvRecord record;
        record.Line = line;
        while (true) {
            std::string field;
            if (i < n && text[i] == '"') {
                const size_t startLine = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = text[i];
                    if (c == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (c == '\n' || (c == '\r' && (i + 1 >= n || text[i + 1] != '\n')))
                        ++line;
                    field += c;
                    ++i;
                }
                if (!closed)
                    return Status::Fail("line " + std::to_string(startLine) + ": a quoted field is never closed");
            }
            while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                field += text[i++];
            record.Fields.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < n && text[i] == '\r')
            ++i;
        if (i < n && text[i] == '\n')
            ++i;
        ++line;
        out.push_back(std::move(record));
    }
    return Status::Ok();
}

} // namespace pw
