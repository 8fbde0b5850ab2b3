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

// Splits `text` into records. A line break inside quotes stays in the field as
// it was written. The line break after the last record is optional, and no
// empty record is made for it. A quote that is never closed is an error that
// names the line where the field started; text after a closing quote and before
// the next comma is kept as part of the field, as spreadsheets do.
Status ParseCsv(std::string_view text, std::vector<CsvRecord>& out);

} // namespace pw
