#include "monitor/gauges.h"
#include "support/temp_dir.h"
#include "tools/log_file.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace kestrum::monitor;

namespace {

struct ConversionCase
{
    Gauge gauge;
    std::uint8_t low, high;
    const char* text;
};

TEST(MonitorGauges, ConvertsAndFormatsRawAnswers)
{
    const ConversionCase cases[] = {
        {Gauge::Temperature, 0, 0, "-273.0"},      {Gauge::Temperature, 0x8F, 0x02, "47.1"},
        {Gauge::Temperature, 0xFF, 0x03, "227.0"}, {Gauge::Throttle, 255, 0xFF, "100"},
        {Gauge::Throttle, 128, 0xFF, "50"},        {Gauge::Throttle, 0, 0xFF, "0"},
        {Gauge::Voltage, 0xFF, 0x03, "105.0"},     {Gauge::Voltage, 0x00, 0x02, "52.6"},
        {Gauge::OutputCurrent, 250, 0, "250.0"},   {Gauge::ErrorFlags, 10, 0xFF, "0x0A"},
    };
    for (const auto& c : cases) {
        const std::uint8_t bytes[3] = {c.low, c.high, 0xEE};
        EXPECT_EQ(Format(c.gauge, Convert(c.gauge, RawValue(c.gauge, bytes))), c.text)
            << Info(c.gauge).label << " " << int(c.low) << "," << int(c.high);
    }
}

TEST(MonitorGauges, batteryCurrent_isOutputTimesThrottle)
{
    const std::uint8_t throttle[3] = {128, 0, 0};
    const double t = Convert(Gauge::Throttle, RawValue(Gauge::Throttle, throttle));
    EXPECT_EQ(Format(Gauge::BatteryCurrent, BatteryCurrent(250.0, t)), "125.5");
}

kestrum::LocalTime Fixed()
{
    return {2008, 6, 15, 14, 3, 27, 45};
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(MonitorGauges, rows_carryTheTimeStampAndEmptyFieldsForUnpolledGauges)
{
    kestrum::test::TempDir dir;
    const std::string path = dir.File("Monitor.log");
    kestrum::CLogFile log(1, false, Fixed);
    ASSERT_TRUE(log.Open(path));
    ASSERT_FALSE(log.Log(1, "%s", kCsvHeader));
    log.timestamps = true;
    const GaugeTexts rows[] = {{"50", "47.1", "", "250.0", "125.5", "0x0A"},
                               {"", "", "", "", "", "0x00"}};
    for (const auto& row : rows)
        ASSERT_FALSE(log.Log(1, "%s", RowText(row).c_str()));
    log.Close();
    const std::string eol(kestrum::log_platform::kLineEnd);
    EXPECT_EQ(ReadAll(path), std::string(kCsvHeader) + eol +
                                 "06/15/08 14:03:27.045  50,47.1,,250.0,125.5,0x0A" + eol +
                                 "06/15/08 14:03:27.045  ,,,,,0x00" + eol);
}

} // namespace
