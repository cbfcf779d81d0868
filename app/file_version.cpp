#include "app/file_version.h"

#include "kestrum_version.h"

#ifdef _WIN32

#include <QString>
#include <cwchar>
#include <vector>
#include <windows.h>

namespace kestrum {

std::string FileVersionOf(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        return {};
    }
    struct Translation
    {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        return {};
    }
    wchar_t query[64];
    std::swprintf(query, sizeof query / sizeof query[0], L"\\StringFileInfo\\%04x%04x\\FileVersion",
                  translations[0].language, translations[0].codePage);
    wchar_t* text = nullptr;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &length) ||
        length == 0) {
        return {};
    }
    // The length counts the terminator the resource compiler wrote.
    while (length > 0 && text[length - 1] == L'\0') {
        --length;
    }
    return QString::fromWCharArray(text, static_cast<qsizetype>(length)).toStdString();
}

std::string ProgramFileVersion()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            return FileVersionOf(std::wstring(path.data(), length));
        }
        path.resize(path.size() * 2); // a path longer than MAX_PATH was cut
    }
}

} // namespace kestrum

#else

namespace kestrum {

std::string ProgramFileVersion()
{
    return KESTRUM_FILE_VERSION;
}

} // namespace kestrum

#endif
