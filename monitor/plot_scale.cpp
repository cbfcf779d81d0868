#include "monitor/plot_scale.h"

#include <algorithm>
#include <cmath>

namespace kestrum::monitor {

ValueScale NiceScale(double low, double high, int intervals)
{
    if (high < low)
        std::swap(low, high);
    if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    const double raw = (high - low) / std::max(1, intervals);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 2.5, 5.0}) {
        if (factor * power >= raw - 1e-12 * power) {
            step = factor * power;
            break;
        }
    }
    ValueScale scale;
    scale.step = step;
    scale.low = std::floor(low / step + 1e-9) * step;
    scale.high = std::ceil(high / step - 1e-9) * step;
    scale.ticks = static_cast<int>(std::lround((scale.high - scale.low) / step)) + 1;
    // 2.5 steps need one decimal more than their power of ten.
    const double digits = -std::floor(std::log10(step) + 1e-9) + (step / power == 2.5 ? 1 : 0);
    scale.decimals = std::max(0, static_cast<int>(digits));
    return scale;
}

} // namespace kestrum::monitor
