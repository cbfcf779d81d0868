#include "monitor/monitor_log_reader.h"

#include "monitor/gauge_text.h"
#include "monitor/plot_time.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

namespace kestrum::monitor {

namespace {

constexpr std::string_view kStampSeparator = "  ";
constexpr std::size_t kStampLength = 21; // "MM/DD/YY hh:mm:ss.mmm"

std::optional<int> Number(std::string_view text, std::size_t at, std::size_t digits, int low,
                          int high)
{
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> ParseStamp(std::string_view stamp)
{
    if (stamp.size() != kStampLength || stamp[2] != '/' || stamp[5] != '/' || stamp[8] != ' ' ||
        stamp[11] != ':' || stamp[14] != ':' || stamp[17] != '.')
        return std::nullopt;
    const auto month = Number(stamp, 0, 2, 1, 12);
    const auto day = Number(stamp, 3, 2, 1, 31);
    const auto year = Number(stamp, 6, 2, 0, 99);
    const auto hour = Number(stamp, 9, 2, 0, 23);
    const auto minute = Number(stamp, 12, 2, 0, 59);
    const auto second = Number(stamp, 15, 2, 0, 60); // a leap second
    const auto millisecond = Number(stamp, 18, 3, 0, 999);
    if (!month || !day || !year || !hour || !minute || !second || !millisecond)
        return std::nullopt;
    return CivilSeconds(2000 + *year, *month, *day, *hour, *minute, *second, *millisecond);
}

std::optional<PlotSample> ParseRow(std::string_view line)
{
    if (line.size() < kStampLength + kStampSeparator.size() ||
        line.substr(kStampLength, kStampSeparator.size()) != kStampSeparator)
        return std::nullopt;
    const auto time = ParseStamp(line.substr(0, kStampLength));
    if (!time)
        return std::nullopt;
    PlotSample sample;
    sample.time = *time;
    std::string_view fields = line.substr(kStampLength + kStampSeparator.size());
    for (std::size_t i = 0; i < kGaugeCount; ++i) {
        const std::size_t comma = fields.find(',');
        const bool last = i + 1 == kGaugeCount;
        if (last != (comma == std::string_view::npos))
            return std::nullopt; // too few or too many fields
        const std::string_view field = fields.substr(0, comma);
        if (field.empty()) {
            sample.values[i] = std::numeric_limits<float>::quiet_NaN();
        } else {
            const auto value = ParseGaugeText(static_cast<Gauge>(i), field);
            if (!value)
                return std::nullopt;
            sample.values[i] = static_cast<float>(*value);
        }
        if (!last)
            fields.remove_prefix(comma + 1);
    }
    return sample;
}

// Cuts `text` into lines; each comes with whether it had a line end.
template<class Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool ended = end != std::string_view::npos;
        visit(line, ended);
        if (!ended)
            break;
        text.remove_prefix(end + 1);
    }
}

// Marks the rows that follow a pause in polling as starting a run.
class PauseDetector
{
public:
    bool StartsRun(double time)
    {
        bool pause = false;
        const double spacing = time - previous_;
        if (rows_ > 0 && spacing >= 0) {
            pause = spacing >= 2 && (rows_ == 1 || spacing > 3 * spacing_);
            spacing_ = spacing;
        }
        previous_ = time;
        ++rows_;
        return pause;
    }
    void Reset() { rows_ = 0; }

private:
    std::size_t rows_ = 0;
    double previous_ = 0;
    double spacing_ = 0;
};

} // namespace

MonitorLogResult ReadMonitorLogText(std::string_view text)
{
    MonitorLogResult result;
    MonitorLog& log = result.log;
    std::size_t number = 0;
    bool newRecording = true;
    PauseDetector pauses;
    ForEachLine(text, [&](std::string_view line, bool ended) {
        ++number;
        if (line == kCsvHeader) {
            newRecording = true;
            pauses.Reset();
            return;
        }
        if (number == 1)
            result.notAMonitorLog = true;
        if (result.notAMonitorLog)
            return;
        std::optional<PlotSample> sample;
        if (ended)
            sample = ParseRow(line);
        if (!sample) {
            ++log.skippedLines;
            if (log.firstSkippedLine == 0)
                log.firstSkippedLine = number;
            return;
        }
        const bool pause = pauses.StartsRun(sample->time);
        sample->startsRun = newRecording || pause;
        newRecording = false;
        log.samples.push_back(*sample);
    });
    if (number == 0)
        result.notAMonitorLog = true;
    if (result.notAMonitorLog)
        result.log = {};
    return result;
}

MonitorLogResult ReadMonitorLogFile(const std::string& path)
{
    MonitorLogResult result;
    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) {
        result.fileError = std::error_code(errno ? errno : EIO, std::generic_category());
        return result;
    }
    std::string text;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        // A file picked by mistake (a video, a disk image) is refused by its
        // first line, not after being read whole.
        if (text.size() == got && !std::string_view(text).starts_with(kCsvHeader)) {
            result.notAMonitorLog = true;
            return result;
        }
    }
    if (std::ferror(file.get())) {
        result.fileError = std::error_code(errno ? errno : EIO, std::generic_category());
        return result;
    }
    return ReadMonitorLogText(text);
}

} // namespace kestrum::monitor
