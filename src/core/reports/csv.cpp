#include "reports/csv.h"

namespace pw {

bool CsvReader::NextRecord()
{
    std::string_view rest;
    while (m_inRecord && NextField(rest)) { }
    if (!m_error || m_pos >= m_text.size())
        return false;
    m_recordLine = m_line;
    m_inRecord = true;
    return true;
}

bool CsvReader::NextField(std::string_view& field)
{
    if (!m_inRecord)
        return false;
    const std::string_view text = m_text;
    const size_t n = text.size();
    size_t i = m_pos;
    bool buffered = false; // the field is in m_buffer, else text[start, end)
    size_t start = i;
    size_t end = i;
    if (i < n && text[i] == '"') {
        const size_t startLine = m_line;
        start = ++i;
        bool closed = false;
        while (i < n) {
            const char c = text[i];
            if (c == '"') {
                if (i + 1 < n && text[i + 1] == '"') {
                    // A doubled quote: from here on the field is built apart.
                    if (!buffered)
                        m_buffer.assign(text.substr(start, i - start));
                    buffered = true;
                    m_buffer += '"';
                    i += 2;
                    continue;
                }
                end = i++;
                closed = true;
                break;
            }
            if (c == '\n' || (c == '\r' && (i + 1 >= n || text[i + 1] != '\n')))
                ++m_line;
            if (buffered)
                m_buffer += c;
            ++i;
        }
        if (!closed) {
            m_error = Status::Fail("line " + std::to_string(startLine) + ": a quoted field is never closed");
            m_errorLine = startLine;
            m_inRecord = false;
            m_pos = n;
            return false;
        }
        const size_t tail = i;
        while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
            ++i;
        if (i > tail) {
            if (!buffered)
                m_buffer.assign(text.substr(start, end - start));
            buffered = true;
            m_buffer.append(text.substr(tail, i - tail));
        }
    } else {
        while (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
            ++i;
        end = i;
    }
    field = buffered ? std::string_view(m_buffer) : text.substr(start, end - start);
    if (i < n && text[i] == ',') {
        m_pos = i + 1;
        return true;
    }
    if (i < n && text[i] == '\r')
        ++i;
    if (i < n && text[i] == '\n')
        ++i;
    ++m_line;
    m_pos = i;
    m_inRecord = false;
    return true;
}

Status ParseCsv(std::string_view text, std::vector<CsvRecord>& out)
{
    out.clear();
    CsvReader reader(text);
    while (reader.NextRecord()) {
        CsvRecord record;
        record.Line = reader.RecordLine();
        std::string_view field;
        while (reader.NextField(field))
            record.Fields.emplace_back(field);
        if (!reader.Error())
            return reader.Error();
        out.push_back(std::move(record));
    }
    return reader.Error();
}

} // namespace pw
