#include "reports/revenuecharts.h"

#include "base/sjistext.h"
#include "catalogue/banner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace pw {

AxisScale RoundAxisScale(double smallest, double largest, int intervals)
{
    intervals = std::max(intervals, 1);
    smallest = std::min(smallest, 0.0);
    largest = std::max(largest, 0.0);
    // Ceiling and floor that forgive the last bits of a division.
    auto up = [](double x) { return std::ceil(x - 1e-9); };
    auto down = [](double x) { return std::floor(x + 1e-9); };
    const double wanted = (largest - smallest) / intervals;
    double power = wanted > 1 ? std::pow(10.0, std::floor(std::log10(wanted))) : 1;
    AxisScale scale;
    for (;; power *= 10) {
        for (const double multiple : { 1.0, 2.0, 5.0 }) {
            const double step = power * multiple;
            const double low = down(smallest / step);
            const double high = std::max(up(largest / step), low + 1);
            if (high - low <= intervals || !std::isfinite(step * 10)) {
                scale.Min = low * step;
                scale.Max = high * step;
                scale.Step = step;
                scale.Ticks = static_cast<int>(high - low) + 1;
                return scale;
            }
        }
    }
}

std::vector<std::string> MonthsEndingWith(std::string_view last, int count)
{
    std::vector<std::string> months;
    if (!IsReportPeriod(last) || count <= 0)
        return months;
    int year = std::stoi(std::string(last.substr(0, 4)));
    int month = std::stoi(std::string(last.substr(5, 2)));
    months.resize(static_cast<size_t>(count));
    for (int i = count - 1; i >= 0; --i) {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d", year, month);
        months[static_cast<size_t>(i)] = text;
        if (--month == 0) {
            month = 12;
            --year;
        }
    }
    return months;
}

RevenueByNetwork MonthlyRevenueByNetwork(
    const std::vector<StatsCell>& cells, const std::vector<std::string>& periods)
{
    RevenueByNetwork out;
    out.Periods = periods;
    std::unordered_map<std::string, size_t> column;
    for (size_t i = 0; i < periods.size(); ++i)
        column.emplace(periods[i], i);
    std::map<std::string, std::vector<int64_t>> byNetwork;
    for (const auto& cell : cells) {
        const auto it = column.find(cell.Period);
        if (it == column.end())
            continue;
        auto& row = byNetwork[cell.Network];
        row.resize(periods.size());
        row[it->second] = AddFiguresHeld(row[it->second], cell.Figures.Revenue);
    }
    std::vector<int64_t> none;
    bool hasNone = false;
    for (auto& [network, revenue] : byNetwork) {
        if (network == kNoNetworkName) {
            none = std::move(revenue);
            hasNone = true;
            continue;
        }
        out.Networks.push_back(network);
        out.Revenue.push_back(std::move(revenue));
    }
    if (hasNone) {
        out.Networks.emplace_back(kNoNetworkName);
        out.Revenue.push_back(std::move(none));
    }
    return out;
}

std::vector<TopBanner> TopBannersByRevenue(const std::vector<StatsCell>& cells, std::string_view period,
    const std::map<std::string, std::string>& names, size_t count)
{
    std::unordered_map<std::string, StatsFigures> sums;
    for (const auto& cell : cells)
        if (cell.Period == period)
            sums[cell.BannerId] += cell.Figures;
    std::vector<TopBanner> top;
    top.reserve(sums.size());
    for (const auto& [id, figures] : sums) {
        const auto name = names.find(id);
        TopBanner banner { id, name == names.end() ? id : name->second, figures, 0 };
        banner.ClickRate = figures.PV > 0
            ? static_cast<float>(static_cast<double>(figures.Clicks) * 100.0 / static_cast<double>(figures.PV))
            : 0.0f;
        top.push_back(std::move(banner));
    }
    const size_t kept = std::min(count, top.size());
    std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(kept), top.end(),
        [](const TopBanner& a, const TopBanner& b) {
            if (a.Figures.Revenue != b.Figures.Revenue)
                return a.Figures.Revenue > b.Figures.Revenue;
            return a.Name < b.Name;
        });
    top.resize(kept);
    return top;
}

std::string CsvRecordText(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (char c : field) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
}

} // namespace pw
