#pragma once

#include "reports/reportimport.h"
#include "reports/statshistory.h"

#include <QString>

// The window's own words for what the reports core reports as facts: the
// failures of reading and importing a report, the rows not counted and the
// state of the history file, in Japanese. The command line words the same
// facts in English.
namespace pw::gui {

// What a column is read for ("表示回数"), and the column itself as the import
// dialog's labels name it ("表示回数の列", "広告を表す列").
QString ReportFieldName(ReportField field);
QString ReportColumnRole(ReportField field);

// "2行目: 列「yen」の表示回数「abc」は整数ではありません。" and the like.
QString ReportErrorMessage(const ReportError& error);
// The system's own words behind a file that could not be read, for the
// details of the message; empty for every other failure.
QString ReportErrorDetails(const ReportError& error);

// A row not counted: "5行目: KEY", with the banners an ambiguous row matched.
QString SkippedRowText(const ReportSkippedRow& row);

// The history could not be opened (`report` says why when it knows: a damaged
// file kept aside, or a file of a newer version).
QString StatsOpenMessage(const std::string& path, const StatsOpenReport& report);
// A damaged history kept aside and a new one started.
QString DamagedStatsText(const std::string& path, const StatsOpenReport& report);

} // namespace pw::gui
