#include "link/device_watch.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

// The device watch over a folder the test owns: a pinned path appearing, or
// a symbolic link there re-pointed, is told; other names in the folder are not.
namespace kestrum {
namespace {

using namespace std::chrono_literals;

class Appearances
{
public:
    void Add(const std::string& path)
    {
        {
            std::lock_guard lock(mutex_);
            paths_.push_back(path);
        }
        changed_.notify_all();
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return paths_.size() >= count; });
    }
    std::vector<std::string> Paths()
    {
        std::lock_guard lock(mutex_);
        return paths_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> paths_;
};

class DeviceWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.Valid());
        pinned = dir.File("ttyCart");
        ASSERT_TRUE(watch.Start({pinned}, [this](const std::string& p) { seen.Add(p); }));
    }

    // As `ln -sfn` does it: a new link under a temporary name renamed over.
    void PointLinkAt(const std::string& target)
    {
        const std::string temporary = dir.File(".ttyCart.new");
        ASSERT_EQ(::symlink(target.c_str(), temporary.c_str()), 0);
        ASSERT_EQ(std::rename(temporary.c_str(), pinned.c_str()), 0);
    }

    test::TempDir dir;
    std::string pinned;
    Appearances seen;
    DeviceWatch watch;
};

TEST_F(DeviceWatchTest, pinnedLinkCreated_toldOnce_otherNamesIgnored)
{
    ASSERT_EQ(::symlink("/dev/null", dir.File("ttyOther").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", pinned.c_str()), 0);
    ASSERT_TRUE(seen.WaitForCount(1, 2s));
    EXPECT_EQ(seen.Paths().front(), pinned);
    for (const std::string& path : seen.Paths())
        EXPECT_EQ(path, pinned);
}

TEST_F(DeviceWatchTest, pinnedLinkRepointed_toldAgain)
{
    PointLinkAt("/dev/null");
    ASSERT_TRUE(seen.WaitForCount(1, 2s));
    const std::size_t first = seen.Paths().size();
    PointLinkAt("/dev/zero");
    ASSERT_TRUE(seen.WaitForCount(first + 1, 2s));
    EXPECT_EQ(seen.Paths().back(), pinned);
    EXPECT_EQ(std::filesystem::read_symlink(pinned), "/dev/zero");
}

TEST_F(DeviceWatchTest, stopped_noLongerRunning_nothingTold)
{
    watch.Stop();
    EXPECT_FALSE(watch.Running());
    ASSERT_EQ(::symlink("/dev/null", pinned.c_str()), 0);
    // A running watch would have told it by the time a second watch, started
    // after the link was made, has seen a later change in the same folder.
    Appearances later;
    DeviceWatch second;
    ASSERT_TRUE(
        second.Start({dir.File("ttyLater")}, [&later](const std::string& p) { later.Add(p); }));
    ASSERT_EQ(::symlink("/dev/null", dir.File("ttyLater").c_str()), 0);
    ASSERT_TRUE(later.WaitForCount(1, 2s));
    EXPECT_TRUE(seen.Paths().empty());
}

TEST(DeviceWatchNames, adapterNodes_onlyUsbAndAcm)
{
    struct Case
    {
        const char* name;
        bool adapter;
    };
    for (const Case& c : {Case{"ttyUSB0", true}, Case{"ttyACM12", true}, Case{"ttyS0", false},
                          Case{"tty1", false}, Case{"usbttyUSB", false}})
        EXPECT_EQ(IsAdapterNodeName(c.name), c.adapter) << c.name;
}

} // namespace
} // namespace kestrum
