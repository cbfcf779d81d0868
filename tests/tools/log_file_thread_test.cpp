#include "tests/support/temp_dir.h"
#include "tools/log_file.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <thread>

// The Monitor's use: a worker thread writes rows while the user-interface
// thread opens (rotating the old file), closes and reopens the log.
namespace kestrum {
namespace {

namespace fs = std::filesystem;

// Every call is one second later, so each rotation gets a name of its own.
class SteppingClock
{
public:
    LocalTime operator()()
    {
        const int s = ticks_++;
        return LocalTime{2008, 6, 12 + s / 86400, s / 3600 % 24, s / 60 % 60, s % 60, s % 1000};
    }

private:
    std::atomic<int> ticks_{0};
};

// Counts the writer's lines so the opening thread can wait for progress
// instead of sleeping.
class Progress
{
public:
    void Step()
    {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++count_;
        }
        changed_.notify_all();
    }
    void WaitFor(int more)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const int target = count_ + more;
        changed_.wait(lock, [&] { return count_ >= target; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

bool AllDigits(std::string_view s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "[MM/DD/YY hh:mm:ss.mmm  ]row NNNNNN <padding>", nothing more, nothing less.
bool ParseRow(std::string_view line, const std::string& padding, int& number)
{
    if (line.size() > 23 && line[2] == '/') {
        const std::string_view stamp = line.substr(0, 23);
        for (std::size_t i : {0, 3, 6, 9, 12, 15})
            if (!AllDigits(stamp.substr(i, 2)))
                return false;
        if (!AllDigits(stamp.substr(18, 3)) || stamp[5] != '/' || stamp[8] != ' ' ||
            stamp[11] != ':' || stamp[14] != ':' || stamp[17] != '.' || stamp.substr(21) != "  ")
            return false;
        line.remove_prefix(23);
    }
    if (line.size() != 4 + 6 + 1 + padding.size() || line.substr(0, 4) != "row " ||
        !AllDigits(line.substr(4, 6)) || line[10] != ' ' || line.substr(11) != padding)
        return false;
    number = std::stoi(std::string(line.substr(4, 6)));
    return true;
}

TEST(LogFileThreads, writerAndOpener_neverCutALine)
{
    const kestrum::test::TempDir temp;
    ASSERT_TRUE(temp.Valid());
    const fs::path dir = temp.Path();
    const std::string path = (dir / "Monitor.log").string();

    auto clock = std::make_shared<SteppingClock>();
    CLogFile log(1, true, [clock] { return (*clock)(); });
    constexpr int kCycles = 12;
    constexpr int kLinesPerOpen = 250;
    const std::string padding(60, 'x');
    Progress progress;
    std::atomic<int> failures{0};
    std::atomic<bool> stop{false};

    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            if (log.Log(1, "row %06d %s", i, padding.c_str()))
                ++failures;
            progress.Step();
        }
    });
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        EXPECT_TRUE(log.Open(path));
        log.timestamps = cycle % 3 != 2;
        // One more than the lines asked for: the writer's call that found the
        // file still closed may count its step only after Open returned.
        progress.WaitFor(kLinesPerOpen + 1);
        log.Close();
        progress.WaitFor(10);
    }
    stop = true;
    writer.join();
    EXPECT_EQ(failures.load(), 0);

    std::set<int> seen;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        ++files;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>()};
        ASSERT_FALSE(text.empty()) << entry.path();
        EXPECT_EQ(text.back(), '\n') << "last line of " << entry.path() << " cut";
        std::istringstream in(text);
        std::string line;
        int previous = -1;
        while (std::getline(in, line)) {
            // Lines end with the platform's line end; getline took its "\n".
            const std::string_view lineEnd = log_platform::kLineEnd;
            if (lineEnd.size() > 1) {
                ASSERT_TRUE(line.ends_with(lineEnd.substr(0, lineEnd.size() - 1))) << line;
                line.resize(line.size() - (lineEnd.size() - 1));
            }
            int number = -1;
            ASSERT_TRUE(ParseRow(line, padding, number)) << entry.path() << ": " << line;
            EXPECT_GT(number, previous) << "lines out of order in " << entry.path();
            previous = number;
            EXPECT_TRUE(seen.insert(number).second) << "line written twice: " << number;
        }
    }
    EXPECT_EQ(files, kCycles); // every reopening moved the previous run aside
    EXPECT_GE(seen.size(), static_cast<std::size_t>(kCycles * kLinesPerOpen));
}

} // namespace
} // namespace kestrum
