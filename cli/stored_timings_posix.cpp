#include "cli/stored_timings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kestrum::cli {
namespace {

std::filesystem::path StorePath()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        return std::filesystem::path(xdg) / "Quorvel" / "Quorvel Kestrum.conf";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return std::filesystem::path(home) / ".config" / "Quorvel" / "Quorvel Kestrum.conf";
    return {};
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<long long> Number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

} // namespace

void LoadStoredTimings(CommTimings& timings)
{
    const std::filesystem::path path = StorePath();
    if (path.empty())
        return;
    std::ifstream store(path);
    std::string line;
    bool inSettings = false;
    while (std::getline(store, line)) {
        line = Trimmed(line);
        if (line.starts_with('[')) {
            inSettings = line == "[Settings]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inSettings || equals == std::string::npos)
            continue;
        const std::string name = Trimmed(line.substr(0, equals));
        for (const char* known :
             {"WriteDelay", "ReadWriteTries", "RetryDelay", "ResetTries", "ResetDelay"}) {
            if (name == known)
                ApplyStoredTiming(timings, known, Number(Trimmed(line.substr(equals + 1))));
        }
    }
}

} // namespace kestrum::cli
