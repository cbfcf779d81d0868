#pragma once

// A value axis that reads well: round ends and a round step.
namespace kestrum::monitor {

struct ValueScale
{
    double low = 0;
    double high = 1;
    double step = 1;
    int ticks = 2;    // low and high included
    int decimals = 0; // enough to tell the ticks apart
};

// The scale covering [low, high] with about `intervals` steps of 1, 2, 2.5 or
// 5 times a power of ten. A single value gets a scale around it.
ValueScale NiceScale(double low, double high, int intervals);

} // namespace kestrum::monitor
