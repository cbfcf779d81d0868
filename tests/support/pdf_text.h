#pragma once

#include "support/run_program.h"

#include <filesystem>
#include <optional>
#include <string>

// What poppler's command-line tools make of a PDF: its text as search and
// copy give it back, and its page count. Tests skip without them.
namespace kestrum::test {

inline bool PdfToolsPresent()
{
    return std::filesystem::exists("/usr/bin/pdftotext") &&
           std::filesystem::exists("/usr/bin/pdfinfo");
}

// The text in reading order, one line of the page per line.
inline std::string PdfText(const std::string& path)
{
    return RunProgram("/usr/bin/pdftotext", {"-layout", path, "-"}).out;
}

inline std::optional<int> PdfPages(const std::string& path)
{
    const std::string info = RunProgram("/usr/bin/pdfinfo", {path}).out;
    const auto at = info.find("Pages:");
    if (at == std::string::npos)
        return std::nullopt;
    return std::stoi(info.substr(at + 6));
}

} // namespace kestrum::test
