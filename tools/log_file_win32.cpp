#include "tools/log_file.h"

#include <windows.h>

namespace kestrum {

namespace {

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

HANDLE ToHandle(std::intptr_t file)
{
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

namespace log_platform {

const std::string_view kLineEnd = "\r\n";

bool FileSize(const std::string& path, std::uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

std::error_code OpenForAppend(const std::string& path, std::intptr_t& file)
{
    // Share mode read only: other writers are refused, readers may look in.
    const HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    file = reinterpret_cast<std::intptr_t>(h);
    return {};
}

std::error_code WriteAll(std::intptr_t file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(ToHandle(file), bytes.data(), chunk, &written, nullptr))
            return LastError();
        if (written == 0)
            return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(written);
    }
    return {};
}

std::error_code CloseFile(std::intptr_t file)
{
    if (!CloseHandle(ToHandle(file)))
        return LastError();
    return {};
}

std::error_code MoveNoReplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists; a
    // file open in another writer cannot be moved either.
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED))
        return LastError();
    return {};
}

} // namespace log_platform

LocalTime CurrentLocalTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    return t;
}

} // namespace kestrum
