#include "profiles/atomic_file.h"

#include <windows.h>

namespace kestrum {
namespace {

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

} // namespace

std::error_code WriteFileAtomically(const std::string& path, std::string_view contents)
{
    const std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
    const HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    std::error_code error;
    while (!error && !contents.empty()) {
        const DWORD chunk =
            contents.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(contents.size());
        DWORD written = 0;
        if (!WriteFile(h, contents.data(), chunk, &written, nullptr))
            error = LastError();
        contents.remove_prefix(written);
    }
    if (!error && !FlushFileBuffers(h))
        error = LastError();
    CloseHandle(h);
    if (!error && !MoveFileExA(temporary.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = LastError();
    if (error)
        DeleteFileA(temporary.c_str());
    return error;
}

} // namespace kestrum
