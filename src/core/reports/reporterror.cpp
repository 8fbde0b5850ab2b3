#include "reports/reporterror.h"

#include "reports/reportimport.h"
#include "text/codec.h"

namespace pw {

namespace {

std::string MiB(size_t bytes)
{
    return std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MiB";
}

std::string Quoted(const std::string& utf8)
{
    return "\"" + codec::EncodeSjis(utf8).bytes + "\"";
}

const char* FieldText(ReportField field)
{
    switch (field) {
    case ReportField::Key:
        return "key";
    case ReportField::PV:
        return "page views";
    case ReportField::Clicks:
        return "clicks";
    case ReportField::Revenue:
        return "revenue";
    case ReportField::Month:
        return "month";
    }
    return "";
}

std::string ColumnText(const ReportError& error)
{
    return error.ColumnName.empty() ? std::to_string(error.Column) : Quoted(error.ColumnName);
}

std::string LineText(const ReportError& error)
{
    return "line " + std::to_string(error.Line) + ": ";
}

std::string FigureText(const ReportError& error)
{
    return LineText(error) + "the " + FieldText(error.Field) + " " + Quoted(error.Value) + " in column "
        + ColumnText(error);
}

std::string Text(const ReportError& error)
{
    switch (error.Kind) {
    case ReportErrorKind::None:
        return {};
    case ReportErrorKind::Unreadable:
        return error.Detail;
    case ReportErrorKind::FileTooLarge:
        return "the report is " + MiB(error.Size) + " (" + std::to_string(error.Size) + " bytes), more than the "
            + MiB(kReportMaxBytes) + " a report may have: no network's monthly report is that large";
    case ReportErrorKind::Empty:
        return "the report is empty: it has not even a header row";
    case ReportErrorKind::TooManyColumns:
        return "the report's header has more than " + std::to_string(kReportMaxColumns)
            + " columns: no network's report has that many";
    case ReportErrorKind::UnclosedQuote:
        return LineText(error) + "a quoted field is never closed";
    case ReportErrorKind::NoColumn:
        return "the report has no column " + Quoted(error.Value) + " for the " + FieldText(error.Field);
    case ReportErrorKind::BadPeriod:
        return "the period " + Quoted(error.Value) + " is not a month written YYYY-MM";
    case ReportErrorKind::NotANumber:
        return FigureText(error) + " is not a whole number";
    case ReportErrorKind::Grouping:
        return FigureText(error)
            + " does not have its commas between groups of three digits: a decimal comma is not read, a report's"
              " figures are whole numbers";
    case ReportErrorKind::FigureTooLarge:
        return FigureText(error) + " is beyond " + kReportFigureLimitText
            + ", more than any report holds: is it the right column?";
    case ReportErrorKind::NotAMonth:
        return LineText(error) + Quoted(error.Value) + " in column " + ColumnText(error)
            + " is not a date or month";
    case ReportErrorKind::SumOverflow:
        return LineText(error) + "the " + FieldText(error.Field) + " of [" + error.Banner + "] for " + error.Period
            + " add up to more than a figure can hold";
    }
    return {};
}

} // namespace

std::string ReportErrorText(const ReportError& error)
{
    std::string text = Text(error);
    // A file that cannot be read names itself already.
    if (!error.Path.empty() && error.Kind != ReportErrorKind::Unreadable && error.Kind != ReportErrorKind::None)
        text = error.Path + ": " + text;
    return text;
}

} // namespace pw
