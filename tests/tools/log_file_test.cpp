#include "tests/support/temp_dir.h"
#include "tools/log_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <stdlib.h>
#include <string>
#include <string_view>

namespace kestrum {
namespace {

namespace fs = std::filesystem;

// 14:30:05.007 on 12 June 2008.
LocalTime June12()
{
    return LocalTime{2008, 6, 12, 14, 30, 5, 7};
}

class LogFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.Valid());
        dir = temp.Path();
        path = (dir / "Monitor.log").string();
    }

    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // What the log writes for `text`: each "\n" as the platform's line end.
    static std::string Written(std::string_view text)
    {
        std::string native;
        for (char c : text) {
            if (c == '\n')
                native += log_platform::kLineEnd;
            else
                native += c;
        }
        return native;
    }
    static void Create(const fs::path& file, const std::string& content)
    {
        std::ofstream(file, std::ios::binary) << content;
    }
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.insert(entry.path().filename().string());
        return names;
    }

    kestrum::test::TempDir temp;

    fs::path dir;
    std::string path;
    const std::string rotated = "Monitor.log20080612143005.log";
};

TEST_F(LogFileTest, emptyPath_failsAndCreatesNothing)
{
    CLogFile log(1, false, June12);
    std::error_code error;
    EXPECT_FALSE(log.Open("", &error));
    EXPECT_EQ(error, std::errc::invalid_argument);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Open(path + std::string(1, '\0') + "x"));
    EXPECT_TRUE(Files().empty());
}

TEST_F(LogFileTest, absentFile_isCreated)
{
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "header"));
    EXPECT_EQ(Read(path), Written("header\n"));
    EXPECT_EQ(Files(), std::set<std::string>{"Monitor.log"});
}

TEST_F(LogFileTest, emptyFile_isReusedNotMoved)
{
    Create(path, "");
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "first"));
    EXPECT_EQ(Files(), std::set<std::string>{"Monitor.log"});
    EXPECT_EQ(Read(path), Written("first\n"));
}

TEST_F(LogFileTest, nonEmptyFile_isMovedToItsTimestampedName)
{
    Create(path, "old run\n");
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "new run"));
    EXPECT_EQ(Files(), (std::set<std::string>{"Monitor.log", rotated}));
    EXPECT_EQ(Read(dir / rotated), "old run\n");
    EXPECT_EQ(Read(path), Written("new run\n"));
}

// The second move in the same second would need the name the first one took:
// it fails, the earlier log stays untouched and the lines go on into the
// current file.
TEST_F(LogFileTest, twoOpensInOneSecond_neverReplaceTheRotatedFile)
{
    Create(path, "run 1\n");
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "run 2"));
    ASSERT_TRUE(log.Open(path)); // still open: closed and reopened
    EXPECT_FALSE(log.Log(1, "run 3"));
    log.Close();
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "run 4"));

    EXPECT_EQ(Files(), (std::set<std::string>{"Monitor.log", rotated}));
    EXPECT_EQ(Read(dir / rotated), "run 1\n");
    EXPECT_EQ(Read(path), Written("run 2\nrun 3\nrun 4\n"));
}

TEST_F(LogFileTest, rotatedName_followsTheClock)
{
    Create(path, "x");
    CLogFile log(1, false, [] { return LocalTime{2031, 1, 2, 3, 4, 5, 999}; });
    ASSERT_TRUE(log.Open(path));
    EXPECT_TRUE(fs::exists(dir / "Monitor.log20310102030405.log"));
}

TEST_F(LogFileTest, secondWriter_isShutOutAndReadersAreNot)
{
    Create(path, "kept\n");
    CLogFile first(1, false, [] { return LocalTime{2008, 6, 12, 14, 30, 5, 0}; });
    ASSERT_TRUE(first.Open(path));
    EXPECT_FALSE(first.Log(1, "one"));

    // Another writer neither moves the open log aside nor writes into it.
    CLogFile second(1, false, [] { return LocalTime{2008, 6, 12, 14, 30, 6, 0}; });
    std::error_code error;
    EXPECT_FALSE(second.Open(path, &error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(fs::exists(dir / "Monitor.log20080612143006.log"));

    EXPECT_EQ(Read(path), Written("one\n")); // a reader gets in while the log is open
    first.Close();
    EXPECT_TRUE(second.Open(path));
}

TEST_F(LogFileTest, threshold_dropsLinesAboveIt)
{
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    const struct
    {
        int level;
        bool written;
    } rows[] = {{2, false}, {1, true}, {0, true}, {-7, true}, {1000, false}};
    std::string expected;
    for (const auto& r : rows) {
        EXPECT_FALSE(log.Log(r.level, "log %d", r.level));
        EXPECT_FALSE(log.Write(r.level, "write " + std::to_string(r.level)));
        if (r.written)
            expected +=
                "log " + std::to_string(r.level) + "\nwrite " + std::to_string(r.level) + "\n";
    }
    EXPECT_EQ(Read(path), Written(expected));
}

TEST_F(LogFileTest, formattedText_isCutAt127Characters)
{
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open(path));
    const std::string long200(200, 'a');
    EXPECT_FALSE(log.Log(1, "%s", long200.c_str()));
    EXPECT_FALSE(log.Log(1, "%s", std::string(127, 'b').c_str()));
    EXPECT_FALSE(log.Log(1, "%s%d", std::string(126, 'c').c_str(), 42));
    EXPECT_EQ(Read(path), Written(std::string(127, 'a') + "\n" + std::string(127, 'b') + "\n" +
                                  std::string(126, 'c') + "4\n"));
}

TEST_F(LogFileTest, timestampPrefixFromTheInjectedClock)
{
    CLogFile log(1, true, June12);
    ASSERT_TRUE(log.Open(path));
    EXPECT_FALSE(log.Log(1, "%s,%s", "50", "47.1"));
    log.timestamps = false;
    EXPECT_FALSE(log.Log(1, "plain"));
    EXPECT_EQ(Read(path), Written("06/12/08 14:30:05.007  50,47.1\nplain\n"));
}

TEST_F(LogFileTest, writesWithoutAnOpenFile_areDroppedQuietly)
{
    CLogFile log(1, true, June12);
    EXPECT_FALSE(log.Log(1, "nowhere"));
    EXPECT_FALSE(log.Open((dir / "missing" / "x.log").string()));
    EXPECT_FALSE(log.Log(1, "still nowhere"));
    ASSERT_TRUE(log.Open(path));
    log.Close();
    EXPECT_FALSE(log.Log(1, "after close"));
    EXPECT_EQ(Read(path), "");
}

TEST(LogFileDevice, writeToFullDeviceIsReported)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    CLogFile log(1, false, June12);
    ASSERT_TRUE(log.Open("/dev/full"));
    EXPECT_EQ(log.Log(1, "row"), std::errc::no_space_on_device);
    EXPECT_EQ(log.Write(1, "row"), std::errc::no_space_on_device);
    EXPECT_TRUE(fs::exists("/dev/full")); // a device is never moved aside
}

} // namespace
} // namespace kestrum
