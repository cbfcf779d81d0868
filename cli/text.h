#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace kestrum::cli {

// Names on the command line are matched without regard to case.
inline std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace kestrum::cli
