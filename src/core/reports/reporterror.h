#pragma once

#include <cstddef>
#include <string>

// Why a report could not be read or imported, as facts rather than a
// sentence: the command line words them in English (ReportErrorText), the
// window in Japanese, each from the same kind, line, column and value.
namespace pw {

// What a column of a report is read for.
enum class ReportField { Key, PV, Clicks, Revenue, Month };

enum class ReportErrorKind {
    None,
    Unreadable, // the file could not be opened or read; Detail holds the system's words
    FileTooLarge, // the report has Size bytes, more than kReportMaxBytes
    Empty, // not even a header row
    TooManyColumns, // the header has more than kReportMaxColumns columns
    UnclosedQuote, // a quoted field that starts on Line is never closed
    NoColumn, // the mapping names a column (Value) the report lacks for Field; Value is empty when none was chosen
    BadPeriod, // the period (Value) is not a month written YYYY-MM
    NotANumber, // on Line, the Field cell (Value) in the column is not a whole number
    Grouping, // ... has commas that are not between groups of three digits
    FigureTooLarge, // ... is beyond kReportFigureLimit
    NotAMonth, // on Line, the cell (Value) in the month column names no date or month
    SumOverflow, // on Line, the Field figures of Banner for Period add up beyond what a figure holds
};

struct ReportError {
    ReportErrorKind Kind = ReportErrorKind::None;
    ReportField Field = ReportField::Key;
    size_t Line = 0; // of the file, from 1
    // The column: its number from 1 and its header text (UTF-8, cut as a
    // message quotes a cell; empty for a column without a name).
    size_t Column = 0;
    std::string ColumnName {};
    std::string Value {}; // the cell, period or column named (UTF-8, trimmed and cut)
    std::string Banner {}; // program text
    std::string Period {}; // "YYYY-MM"
    size_t Size = 0; // bytes
    std::string Path {}; // the report's file, when it was read from one
    std::string Detail {}; // the system's own words, for a file that could not be read

    explicit operator bool() const { return Kind != ReportErrorKind::None; }
};

// The error as the command line prints it: English, program text (Shift_JIS),
// the file's path in front when the error has one.
std::string ReportErrorText(const ReportError& error);

} // namespace pw
