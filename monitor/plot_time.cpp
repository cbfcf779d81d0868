#include "monitor/plot_time.h"

#include "tools/log_file.h"

#include <cmath>

namespace kestrum::monitor {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int shifted = month > 2 ? month - 3 : month + 9;
    const int dayOfYear = (153 * shifted + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<long long>(era) * 146097 + dayOfEra - 719468;
}

} // namespace

double CivilSeconds(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    const long long seconds =
        DaysFromCivil(year, month, day) * 86400LL + hour * 3600LL + minute * 60LL + second;
    return static_cast<double>(seconds) + millisecond / 1000.0;
}

double CivilNow()
{
    const LocalTime t = CurrentLocalTime();
    return CivilSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
}

std::vector<double> TimeTicks(double from, double to, int maxTicks)
{
    static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                        600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    std::vector<double> ticks;
    if (!(to > from) || maxTicks < 1)
        return ticks;
    double step = 0;
    for (double candidate : kSteps) {
        if ((to - from) / candidate <= maxTicks) {
            step = candidate;
            break;
        }
    }
    if (step == 0)
        step = std::ceil((to - from) / maxTicks / 86400) * 86400;
    for (double t = std::ceil(from / step) * step; t <= to; t += step)
        ticks.push_back(t);
    return ticks;
}

} // namespace kestrum::monitor
