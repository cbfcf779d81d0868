#include "profiles/service_history.h"

#include <cstdlib>

namespace kestrum {

std::filesystem::path DefaultHistoryFolder()
{
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        data = std::filesystem::path(home) / ".local" / "share";
    else
        data = std::filesystem::temp_directory_path();
    return data / "Quorvel" / "Quorvel Kestrum" / "history";
}

} // namespace kestrum
