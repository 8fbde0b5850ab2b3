#pragma once

#include "base/result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as RFC 4180 writes them: fields separated by commas,
// records by CR LF (a lone LF or CR is taken as well), a field in double quotes
// may hold commas, line breaks and doubled quotes ("" for one ").
namespace pw {

struct CsvRecord {
    std::vector<std::string> Fields;
    size_t Line = 0; // line of the text on which the record starts, from 1
};

// Reads a text record by record and field by field, so that a text of any
// size costs no more memory than its longest field: a field is a view of the
// text, or of the reader's own buffer when its quotes had to be taken out.
//
// A line break inside quotes stays in the field as it was written. The line
// break after the last record is optional, and no empty record is made for it.
// A quote that is never closed is an error that names the line where the
// field started; text after a closing quote and before the next comma is kept
// as part of the field, as spreadsheets do.
class CsvReader {
public:
    explicit CsvReader(std::string_view text)
        : m_text(text)
    {
    }

    // Starts the next record (skipping what is left of the current one);
    // false when the text has no more, or after an error.
    bool NextRecord();
    // The next field of the current record; false when the record has none
    // left, or on an error. `field` stays valid until the next call.
    bool NextField(std::string_view& field);
    // The line the current record starts on, from 1.
    size_t RecordLine() const { return m_recordLine; }
    // Ok, or the error that stopped the reading.
    const Status& Error() const { return m_error; }
    // The line where the quoted field that was never closed starts; 0 while
    // there is no error.
    size_t ErrorLine() const { return m_errorLine; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_line = 1;
    size_t m_recordLine = 0;
    bool m_inRecord = false; // the current record has a field left
    size_t m_errorLine = 0;
    std::string m_buffer;
    Status m_error;
};

// Splits all of `text` into records, as CsvReader reads them.
Status ParseCsv(std::string_view text, std::vector<CsvRecord>& out);

} // namespace pw
