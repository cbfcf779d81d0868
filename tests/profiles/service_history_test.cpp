#include "profiles/profile_file.h"
#include "profiles/service_history.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

namespace fs = std::filesystem;

ControllerProfile Taken(const std::string& serial, const std::string& when)
{
    ControllerProfile profile;
    profile.takenAt = when;
    profile.toolVersion = "1.0.0.1";
    profile.modelName = "KAV RK-AA";
    profile.serialNumber = serial;
    profile.fieldMap = "18";
    return profile;
}

TEST(ServiceHistory, keepsOneFolderPerSerialNumber_newestFirst)
{
    test::TempDir dir;
    const ServiceHistory history(dir.Path() / "history");
    for (const auto& [serial, when] :
         std::vector<std::pair<std::string, std::string>>{{"228138", "2026-12-07T16:00:00"},
                                                          {"228138", "2026-12-08T09:15:02"},
                                                          {"228138", "2026-12-08T09:15:02"},
                                                          {"blank", "2026-12-08T10:00:00"},
                                                          {"99", "2026-01-01T00:00:00"}}) {
        fs::path written;
        ASSERT_FALSE(history.Keep(Taken(serial, when), &written));
        const ProfileRead read = ReadProfile(written.string());
        ASSERT_TRUE(read.profile) << read.error;
        EXPECT_EQ(read.profile->serialNumber, serial);
    }

    EXPECT_EQ(history.Controllers(), (std::vector<std::string>{"99", "228138", "blank"}));
    std::vector<std::string> taken;
    for (const auto& entry : history.Entries("228138"))
        taken.push_back(entry.taken);
    EXPECT_EQ(taken, (std::vector<std::string>{"2026-12-08 09:15:02 (2)", "2026-12-08 09:15:02",
                                               "2026-12-07 16:00:00"}));
    EXPECT_TRUE(fs::exists(dir.Path() / "history" / "228138" / "2026-12-08_09-15-02-2.json"));
}

TEST(ServiceHistory, keepsTheLast200PerController_andNothingElseOfTheFolder)
{
    test::TempDir dir;
    const ServiceHistory history(dir.Path());
    fs::create_directories(dir.Path() / "7");
    std::ofstream(dir.Path() / "7" / "notes.txt") << "the technician's own file";
    for (int i = 0; i < 203; ++i) {
        char when[32];
        std::snprintf(when, sizeof when, "2026-12-%02dT%02d:%02d:00", 1 + i / 60, (i / 60) % 24,
                      i % 60);
        ASSERT_FALSE(history.Keep(Taken("7", when)));
    }
    const auto entries = history.Entries("7");
    ASSERT_EQ(entries.size(), ServiceHistory::kKeptPerController);
    EXPECT_EQ(entries.front().taken, "2026-12-04 03:22:00");
    EXPECT_EQ(entries.back().taken, "2026-12-01 00:03:00");
    EXPECT_TRUE(fs::exists(dir.Path() / "7" / "notes.txt"));
}

TEST(ServiceHistory, serialNumberThatIsNoNumber_isNotUsedAsAFolder)
{
    test::TempDir dir;
    const ServiceHistory history(dir.Path() / "history");
    EXPECT_TRUE(history.Keep(Taken("../outside", "2026-12-08T09:15:02")));
    EXPECT_TRUE(history.Keep(Taken("42", "yesterday")));
    EXPECT_FALSE(fs::exists(dir.Path() / "outside"));
    EXPECT_TRUE(history.Entries("../outside").empty());
}

} // namespace
} // namespace kestrum
