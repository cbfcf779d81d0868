#include "link/device_watch.h"
#include "tests/support/temp_dir.h"

#include <condition_variable>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

// The device watch over a folder the test owns: a pinned path that is a
// symbolic link re-pointed (as `ln -sfn` does it) is told each time; other
// names in the folder are not.
namespace kestrum {
namespace {

TEST(DeviceWatch, pinnedLinkRepointed_toldEachTime_otherNamesIgnored)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const std::string pinned = dir.File("ttyCart");
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> seen;
    DeviceWatch watch;
    ASSERT_TRUE(watch.Start({pinned}, [&](const std::string& path) {
        {
            std::lock_guard lock(mutex);
            seen.push_back(path);
        }
        changed.notify_all();
    }));
    const auto waitForCount = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(2),
                                [&] { return seen.size() >= count; });
    };

    ASSERT_EQ(::symlink("/dev/null", dir.File("ttyOther").c_str()), 0);
    for (const char* target : {"/dev/null", "/dev/zero"}) {
        std::size_t before = 0;
        {
            std::lock_guard lock(mutex);
            before = seen.size();
        }
        const std::string temporary = dir.File(".ttyCart.new");
        ASSERT_EQ(::symlink(target, temporary.c_str()), 0);
        ASSERT_EQ(std::rename(temporary.c_str(), pinned.c_str()), 0);
        ASSERT_TRUE(waitForCount(before + 1)) << target;
    }
    watch.Stop();
    EXPECT_FALSE(watch.Running());
    for (const std::string& path : seen)
        EXPECT_EQ(path, pinned);
}

TEST(DeviceWatch, adapterNodeNames_onlyUsbAndAcm)
{
    for (const auto& [name, adapter] :
         {std::pair{"ttyUSB0", true}, {"ttyACM12", true}, {"ttyS0", false}, {"usbttyUSB", false}})
        EXPECT_EQ(IsAdapterNodeName(name), adapter) << name;
}

} // namespace
} // namespace kestrum
