#include "cli/stored_timings.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

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

std::optional<std::int64_t> Number(const std::string& text)
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
    std::map<std::string, std::string, std::less<>> settings;
    const std::filesystem::path path = StorePath();
    std::ifstream store;
    if (!path.empty())
        store.open(path);
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
        settings[Trimmed(line.substr(0, equals))] = Trimmed(line.substr(equals + 1));
    }
    kestrum::LoadStoredTimings(timings, [&settings](const char* name) {
        const auto found = settings.find(std::string_view(name));
        return found == settings.end() ? std::nullopt : Number(found->second);
    });
}

} // namespace kestrum::cli
