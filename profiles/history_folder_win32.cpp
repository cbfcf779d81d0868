#include "profiles/service_history.h"

#include <cstdlib>

namespace kestrum {

std::filesystem::path DefaultHistoryFolder()
{
    std::filesystem::path data;
    if (const char* appData = std::getenv("APPDATA"); appData != nullptr && appData[0] != '\0')
        data = appData;
    else
        data = std::filesystem::temp_directory_path();
    return data / "Quorvel" / "Quorvel Kestrum" / "history";
}

} // namespace kestrum
