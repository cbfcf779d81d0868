#include "monitor/gauges.h"

#include <cstdio>

namespace kestrum::monitor {

const std::array<GaugeInfo, kGaugeCount>& Gauges()
{
    static const std::array<GaugeInfo, kGaugeCount> gauges{{
        {Gauge::Throttle, 0x20, "Throttle Position", "%", "0"},
        {Gauge::Temperature, 0x2C, "Controller Temperature", "\u00B0C", "-273.0"},
        {Gauge::Voltage, 0x39, "Battery Voltage", "Volts", "0.0"},
        {Gauge::OutputCurrent, 0x60, "Output Current", "Amps", "0.0"},
        {Gauge::BatteryCurrent, 0, "Battery Current", "Amps", "0.0"},
        {Gauge::ErrorFlags, 0x3B, "Error Flags", "", "0x00"},
    }};
    return gauges;
}

const GaugeInfo& Info(Gauge gauge)
{
    return Gauges()[static_cast<std::size_t>(gauge)];
}

unsigned RawValue(Gauge gauge, const std::uint8_t (&bytes)[3])
{
    if (gauge == Gauge::Throttle || gauge == Gauge::ErrorFlags)
        return bytes[0];
    return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
}

double Convert(Gauge gauge, unsigned raw)
{
    const double v = raw;
    switch (gauge) {
    case Gauge::Throttle:
        return v * 100 / 255;
    case Gauge::Temperature:
        return v * 500 / 1023 - 273;
    case Gauge::Voltage:
        return v * 105 / 1023;
    default:
        return v;
    }
}

double BatteryCurrent(double outputCurrent, double throttle)
{
    return outputCurrent * throttle / 100;
}

std::string Format(Gauge gauge, double value)
{
    char text[32];
    if (gauge == Gauge::Throttle)
        std::snprintf(text, sizeof text, "%.0f", value);
    else if (gauge == Gauge::ErrorFlags)
        std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    else
        std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string RowText(const GaugeTexts& texts)
{
    std::string row = texts[0];
    for (std::size_t i = 1; i < texts.size(); ++i)
        row += ',' + texts[i];
    return row;
}

} // namespace kestrum::monitor
