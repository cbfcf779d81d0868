#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrum::cli {

// The command line: options may stand anywhere; everything else is the
// command and its arguments, in order.
struct Options
{
    std::optional<std::string> port;
    std::optional<std::int32_t> tries;
    std::optional<std::uint32_t> retryDelay;
    bool json = false;
    bool help = false;
    bool version = false;
    bool yes = false;
    std::optional<std::string> sensor;
    std::optional<std::uint32_t> interval;
    std::optional<std::uint64_t> count;
    std::optional<std::string> gauges;
    std::vector<std::string> words; // the command, then its arguments
};

struct ParsedOptions
{
    Options options;
    std::string error; // empty when the command line was understood
};

ParsedOptions ParseOptions(const std::vector<std::string>& arguments);

// The whole usage text, or the usage of the commands `words` name: "profile"
// gives every profile command's, "profile diff" that one's alone.
std::string UsageText(const std::vector<std::string>& words = {});

} // namespace kestrum::cli
