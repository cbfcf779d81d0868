#include "tools/parse_byte_value.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

namespace kestrum {

namespace {

bool IsBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string TrimmedLowerCase(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    std::string copy = text.substr(first, last - first);
    for (char& c : copy)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return copy;
}

bool OnlyCharactersOf(std::string_view text, std::string_view allowed)
{
    return text.find_first_not_of(allowed) == std::string_view::npos;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Digits after "0x" up to the first non-digit; saturates at 32 bits.
std::uint64_t HexNumber(std::string_view digits)
{
    std::uint64_t value = 0;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0)
            break;
        value = value * 16 + static_cast<unsigned>(d);
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::numeric_limits<std::uint32_t>::max();
    }
    return value;
}

// Saturates at the largest signed 32-bit value; an empty text is 0.
std::uint64_t DecimalNumber(std::string_view digits)
{
    std::uint64_t value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            return static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    }
    return value;
}

} // namespace

namespace {

// The viewer's number rule with the largest value a field takes; on success
// `text` becomes the value with `digits` upper-case hexadecimal digits.
bool ParseValue(std::string& text, std::uint64_t largest, int digits, std::uint64_t& value)
{
    if (text.empty())
        return false;
    std::string copy = TrimmedLowerCase(text);
    if (copy.size() >= 2 && copy[0] == 'x')
        copy.insert(copy.begin(), '0');
    const bool hex =
        copy.size() >= 3 && copy.compare(0, 2, "0x") == 0 && copy.find('x', 3) == std::string::npos;

    std::uint64_t number = 0;
    if (hex && OnlyCharactersOf(copy, "x0123456789abcdef")) {
        number = HexNumber(std::string_view(copy).substr(2));
    } else if (!hex && OnlyCharactersOf(copy, "0123456789")) {
        number = DecimalNumber(copy);
    } else {
        value = 0;
        text = digits == 2 ? "0x00" : "0x0000";
        return false;
    }
    if (number > largest)
        return false;
    value = number;
    char normalised[16];
    std::snprintf(normalised, sizeof normalised, "0x%0*X", digits, static_cast<unsigned>(number));
    text = normalised;
    return true;
}

} // namespace

bool ParseByteValue(std::string& text, std::uint8_t& value)
{
    std::uint64_t number = value;
    const bool parsed = ParseValue(text, 0xFF, 2, number);
    value = static_cast<std::uint8_t>(number);
    return parsed;
}

bool ParseWordValue(std::string& text, std::uint16_t& value)
{
    std::uint64_t number = value;
    const bool parsed = ParseValue(text, 0xFFFF, 4, number);
    value = static_cast<std::uint16_t>(number);
    return parsed;
}

} // namespace kestrum
