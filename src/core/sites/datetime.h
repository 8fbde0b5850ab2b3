#pragma once

#include <compare>
#include <ctime>
#include <string>

namespace pw {

// A local calendar date and time, as the file list shows it.
struct DateTime {
    int Year = 0;
    int Month = 0; // 1..12
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;

    auto operator<=>(const DateTime&) const = default;
};

int DaysInMonth(int year, int month);
// True when the fields name a moment that exists.
bool IsValidDateTime(const DateTime& moment);

// The local clock.
DateTime LocalNow();
DateTime LocalDateTimeOf(std::time_t time);

// Date as the file list shows it: "YYYY/MM/DD", then a blank and "H:MM:SS"
// unless the time is exactly midnight.
std::string DateText(const DateTime& moment);
// "YYYY-MM-DD HH:MM", the command-line listing form.
std::string IsoMinuteText(const DateTime& moment);

} // namespace pw
