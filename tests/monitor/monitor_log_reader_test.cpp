#include "monitor/monitor_log_reader.h"
#include "monitor/plot_time.h"
#include "support/temp_dir.h"
#include "tools/log_file.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace kestrum::monitor;

namespace {

const std::string kHeader = std::string(kCsvHeader) + "\r\n";
const double kNaN = std::nan("");

struct ReadCase
{
    const char* name;
    std::string text;
    std::vector<std::array<double, kGaugeCount>> values; // NaN: not read
    std::size_t skipped = 0;
    std::size_t firstSkipped = 0;
};

bool SameValue(float got, double want)
{
    return std::isnan(want) ? std::isnan(got) : std::fabs(got - want) < 1e-4;
}

TEST(MonitorLogReader, ReadsRowsAndCountsTheLinesThatAreNot)
{
    const std::string row = "06/15/08 14:03:27.045  50,47.1,,250.0,125.5,0x0A";
    const std::array<double, kGaugeCount> rowValues{50, 47.1, kNaN, 250, 125.5, 10};
    const ReadCase cases[] = {
        {"example row, CR LF", kHeader + row + "\r\n", {rowValues}},
        {"example row, LF", std::string(kCsvHeader) + "\n" + row + "\n", {rowValues}},
        {"only the error flags",
         kHeader + "06/15/08 14:03:27.045  ,,,,,0x00\r\n",
         {{kNaN, kNaN, kNaN, kNaN, kNaN, 0}}},
        {"header only", kHeader, {}},
        {"truncated last line", kHeader + row + "\r\n06/15/08 14:03:2", {rowValues}, 1, 3},
        {"complete-looking last line without its end",
         kHeader + row + "\r\n" + row.substr(0, 40),
         {rowValues},
         1,
         3},
        {"garbage between rows",
         kHeader + "hello\r\n" + row + "\r\n\r\n" +
             "06/15/08 14:03:27.045 50,47.1,,250.0,125.5,0x0A\r\n" +   // one blank
             "06/15/08 14:03:28.045  50,47.1,,250.0,125.5\r\n" +       // five fields
             "06/15/08 14:03:28.045  50,47.1,,250.0,125.5,0x0A,\r\n" + // seven
             "13/15/08 14:03:28.045  50,47.1,,250.0,125.5,0x0A\r\n" +  // month 13
             "06/15/08 14:03:28.045  50,abc,,250.0,125.5,0x0A\r\n" +
             "06/15/08 14:03:28.045  50,inf,,1e3,125.5,0x0A\r\n" + "06/15/08 14:03:28.045  " +
             "50.5,47.1,,250.0,125.5,0x0A\r\n" + row + "\r\n",
         {rowValues, rowValues},
         9,
         2},
    };
    for (const ReadCase& c : cases) {
        const MonitorLogResult result = ReadMonitorLogText(c.text);
        EXPECT_FALSE(result.notAMonitorLog) << c.name;
        EXPECT_EQ(result.log.skippedLines, c.skipped) << c.name;
        EXPECT_EQ(result.log.firstSkippedLine, c.firstSkipped) << c.name;
        ASSERT_EQ(result.log.samples.size(), c.values.size()) << c.name;
        for (std::size_t r = 0; r < c.values.size(); ++r) {
            for (std::size_t g = 0; g < kGaugeCount; ++g)
                EXPECT_TRUE(SameValue(result.log.samples[r].values[g], c.values[r][g]))
                    << c.name << " row " << r << " gauge " << g;
        }
    }
}

TEST(MonitorLogReader, TakesTheTimeFromTheStamp)
{
    const auto result = ReadMonitorLogText(kHeader + "06/15/08 14:03:27.045  ,,,,,0x00\r\n");
    ASSERT_EQ(result.log.samples.size(), 1u);
    EXPECT_DOUBLE_EQ(result.log.samples[0].time, CivilSeconds(2008, 6, 15, 14, 3, 27, 45));
}

TEST(MonitorLogReader, RefusesWhatIsNotAMonitorLog)
{
    for (const std::string& text : {std::string(), std::string("a,b,c\r\n"), "Title\r\n" + kHeader,
                                    std::string("06/15/08 14:03:27.045  ,,,,,0x00\r\n")}) {
        const auto result = ReadMonitorLogText(text);
        EXPECT_TRUE(result.notAMonitorLog) << text;
        EXPECT_TRUE(result.log.samples.empty()) << text;
    }
}

TEST(MonitorLogReader, StartsARunAtEachHeaderAndAfterAPause)
{
    const std::string text =
        kHeader + "06/15/08 14:00:00.000  ,,,,,0x00\r\n" + "06/15/08 14:00:01.000  ,,,,,0x00\r\n" +
        "06/15/08 14:00:02.000  ,,,,,0x00\r\n" + // a second apart
        "06/15/08 14:00:09.000  ,,,,,0x00\r\n" + // paused
        "06/15/08 14:00:10.000  ,,,,,0x00\r\n" + kHeader + "06/15/08 14:00:11.000  ,,,,,0x00\r\n";
    const auto samples = ReadMonitorLogText(text).log.samples;
    std::vector<bool> starts;
    for (const PlotSample& s : samples)
        starts.push_back(s.startsRun);
    EXPECT_EQ(starts, (std::vector<bool>{true, false, false, true, false, true}));
}

TEST(MonitorLogReader, ReadsBackWhatTheLogWrites)
{
    kestrum::test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.File("Monitor.log");
    {
        kestrum::CLogFile log(1, false,
                              [] { return kestrum::LocalTime{2008, 6, 15, 23, 59, 59, 999}; });
        ASSERT_TRUE(log.Open(path));
        log.Log(1, "%s", kCsvHeader);
        log.timestamps = true;
        log.Log(1, "%s,%s,%s,%s,%s,%s", "50", "47.1", "", "250.0", "125.5", "0x0A");
    }
    const MonitorLogResult result = ReadMonitorLogFile(path);
    EXPECT_FALSE(result.fileError);
    ASSERT_EQ(result.log.samples.size(), 1u);
    EXPECT_EQ(result.log.skippedLines, 0u);
    EXPECT_DOUBLE_EQ(result.log.samples[0].time, CivilSeconds(2008, 6, 15, 23, 59, 59, 999));
}

TEST(MonitorLogReader, GivesTheErrorOfAFileItCannotRead)
{
    kestrum::test::TempDir dir;
    const auto result = ReadMonitorLogFile(dir.File("absent.log"));
    EXPECT_EQ(result.fileError, std::make_error_condition(std::errc::no_such_file_or_directory));
}

} // namespace
