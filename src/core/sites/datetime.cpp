#include "sites/datetime.h"

#include <cstdio>

namespace pw {

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return kDays[month - 1];
}

bool IsValidDateTime(const DateTime& m)
{
    return m.Year >= 1 && m.Year <= 9999 && m.Month >= 1 && m.Month <= 12 && m.Day >= 1
        && m.Day <= DaysInMonth(m.Year, m.Month) && m.Hour >= 0 && m.Hour <= 23 && m.Minute >= 0 && m.Minute <= 59
        && m.Second >= 0 && m.Second <= 59;
}

DateTime LocalDateTimeOf(std::time_t time)
{
    std::tm parts {};
    localtime_r(&time, &parts);
    return { parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec };
}

DateTime LocalNow()
{
    return LocalDateTimeOf(std::time(nullptr));
}

std::string DateText(const DateTime& m)
{
    char text[64];
    if (m.Hour == 0 && m.Minute == 0 && m.Second == 0)
        std::snprintf(text, sizeof text, "%04d/%02d/%02d", m.Year, m.Month, m.Day);
    else
        std::snprintf(
            text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", m.Year, m.Month, m.Day, m.Hour, m.Minute, m.Second);
    return text;
}

std::string IsoMinuteText(const DateTime& m)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", m.Year, m.Month, m.Day, m.Hour, m.Minute);
    return text;
}

} // namespace pw
