#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Builds correct Intel HEX record lines (without line end) for the tests.
namespace kestrum::test {

inline std::string HexRecord(unsigned address, unsigned type, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes{
        static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(type)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string line = ":";
    char pair[3];
    for (std::uint8_t b : bytes) {
        sum += b;
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
    }
    std::snprintf(pair, sizeof pair, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + pair;
}

inline std::string DataRecord(unsigned address, const std::vector<std::uint8_t>& data)
{
    return HexRecord(address, 0, data);
}

inline const std::string kEndRecord = ":00000001FF";

// n data bytes 0, 1, 2, ...
inline std::vector<std::uint8_t> Counting(std::size_t n)
{
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    return data;
}

} // namespace kestrum::test
