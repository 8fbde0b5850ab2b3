#pragma once

#include "reports/reportimport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Choosing the columns of a report from the words of its header, so that a
// network's report is read without the user naming its columns.
namespace pw {

// The role a header cell names, by the words networks put there ("プログラム名",
// "表示回数", "クリック数", "確定報酬", "日付", "program", "impressions", ...):
// nullopt when it names none. `score` (when given) gets how sure the guess
// is, higher for the whole cell being such a word than for a cell that only
// holds one, and for the words listed first. A rate or a unit price
// ("クリック率", "報酬単価", "CTR") and revenue not confirmed ("未確定報酬") name
// no figure.
std::optional<ReportField> ReportFieldOfHeader(std::string_view cell, int* score = nullptr);

// The mapping for `table`: the columns of `remembered` (the network's mapping
// of an earlier import, when there is one) that the table still has, then
// for every other role the column its header names, each column used once.
// A role no column is named for stays empty; so does the month column when
// the remembered mapping had none (its reports come with a period given
// apart). The match mode is the remembered one; without one, a key column
// named as a code ("code", "コード") matches by code. Keys given banners by
// hand come from `remembered`.
ReportMapping ChooseReportMapping(const ReportTable& table, const ReportMapping* remembered = nullptr);

// How a mapping names the table's column `column` (from 0): its header text
// (program text), so that next month's report finds the column even when the
// network adds one; its number from 1 when the text is empty, a number, or
// not unique.
std::string ReportColumnSpec(const ReportTable& table, size_t column);

} // namespace pw
