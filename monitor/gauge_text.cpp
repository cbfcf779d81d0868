#include "monitor/gauge_text.h"

#include <cctype>
#include <charconv>

namespace kestrum::monitor {

namespace {

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::optional<double> ParseDecimal(std::string_view text, bool fraction)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '-')
        digits.remove_prefix(1);
    // from_chars alone would also take "inf", "nan" and exponents.
    if (digits.empty() || !IsDigit(digits.front()) || !IsDigit(digits.back()))
        return std::nullopt;
    bool point = false;
    for (char c : digits) {
        if (c == '.' && fraction && !point)
            point = true;
        else if (!IsDigit(c))
            return std::nullopt;
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> ParseFlags(std::string_view text)
{
    if (text.size() < 3 || text.size() > 4 || text.substr(0, 2) != "0x")
        return std::nullopt;
    unsigned value = 0;
    const char* first = text.data() + 2;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, 16);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> ParseGaugeText(Gauge gauge, std::string_view text)
{
    switch (gauge) {
    case Gauge::ErrorFlags:
        return ParseFlags(text);
    case Gauge::Throttle:
        return ParseDecimal(text, false);
    default:
        return ParseDecimal(text, true);
    }
}

} // namespace kestrum::monitor
