#include "link/port_names.h"

#include <cctype>
#include <cstdlib>

namespace kestrum {

bool IsAcceptablePortName(std::string_view name)
{
    if (name.size() < 4)
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return false;
    }
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::vector<std::string> SearchCandidates()
{
    if (const char* pinned = std::getenv("KESTRUM_PORTS"))
        return port_listing::SplitPortList(pinned, kPortListSeparator);
    return port_listing::WithComNames(ListPresentPorts());
}

namespace port_listing {

std::vector<std::string> WithComNames(std::vector<std::string> present)
{
    constexpr int kLastComNumber = 256;
    present.reserve(present.size() + kLastComNumber);
    for (int n = 1; n <= kLastComNumber; ++n)
        present.push_back("COM" + std::to_string(n));
    return present;
}

std::vector<std::string> SplitPortList(std::string_view list, char separator)
{
    std::vector<std::string> entries;
    while (!list.empty()) {
        const std::size_t end = list.find(separator);
        const std::string_view entry = list.substr(0, end);
        if (!entry.empty())
            entries.emplace_back(entry);
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
    return entries;
}

bool NaturalLess(std::string_view a, std::string_view b)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the digit runs as numbers: skip leading zeros, then the
            // longer run is the larger number, then digit by digit.
            std::size_t ia = i, jb = j;
            while (ia < a.size() && a[ia] == '0')
                ++ia;
            while (jb < b.size() && b[jb] == '0')
                ++jb;
            std::size_t ea = ia, eb = jb;
            while (ea < a.size() && isDigit(a[ea]))
                ++ea;
            while (eb < b.size() && isDigit(b[eb]))
                ++eb;
            if (ea - ia != eb - jb)
                return ea - ia < eb - jb;
            const int order = a.substr(ia, ea - ia).compare(b.substr(jb, eb - jb));
            if (order != 0)
                return order < 0;
            i = ea;
            j = eb;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // equal as numbers (ttyS01 and ttyS1): any fixed order
}

} // namespace port_listing

} // namespace kestrum
