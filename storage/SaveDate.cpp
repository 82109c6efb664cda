#include "storage/SaveDate.h"

#include <ctime>

namespace tolvar {

std::string FormatSaveDate(const std::optional<fs::FileTime>& creation, fs::FileTime now)
{
    std::tm calendar{};
    bool brokenDown;
    if (creation && (*creation & 0xFFFFFFFFu) != 0) {
        brokenDown = fs::FileTimeToLocalCalendar(*creation, calendar);
    } else {
        // The current time is shown as the system clock gives it, in UTC.
        brokenDown = fs::FileTimeToUtcCalendar(now, calendar);
    }
    if (!brokenDown) {
        return std::string();
    }
    if (calendar.tm_year < 0) {
        // Years before 1900 have no calendar time; they show as time 0.
        if (!fs::UnixTimeToLocalCalendar(0, calendar)) {
            return std::string();
        }
    }
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, "   %d/%m/%y  %H:%M", &calendar);
    return std::string(text, n);
}

} // namespace tolvar
