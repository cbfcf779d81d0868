#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A fresh folder for one test, removed with everything in it afterwards.
namespace kestrum::test {

class TempDir
{
public:
    TempDir()
    {
#ifdef _WIN32
        // No mkdtemp there: a random name, taken only if nobody had it.
        std::random_device random;
        std::error_code error;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path(error) /
                                   ("kestrum-test-" + std::to_string(random()));
            if (!error && std::filesystem::create_directory(candidate, error))
                path_ = candidate;
        }
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestrum-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
#endif
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Valid() const
    {
        return !path_.empty();
    }
    const std::filesystem::path& Path() const
    {
        return path_;
    }
    std::string File(const std::string& name) const
    {
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_;
};

} // namespace kestrum::test
