#pragma once

#include "monitor/plot_history.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Reads back a Monitor log as this tool writes it: the header line, then
// rows "MM/DD/YY hh:mm:ss.mmm  " followed by the six gauge texts joined by
// commas, CR LF or LF line ends.
namespace kestrum::monitor {

struct MonitorLog
{
    // The first row after the header, and after a repeated header (a file
    // that could not be moved aside is appended to), starts a run, as does a
    // row after a pause in polling (see ReadMonitorLogText).
    std::vector<PlotSample> samples;
    std::size_t skippedLines = 0;
    std::size_t firstSkippedLine = 0; // 1-based; 0 when none was skipped
};

struct MonitorLogResult
{
    MonitorLog log;
    bool notAMonitorLog = false; // the first line is not the header
    std::error_code fileError;   // the file could not be opened or read
};

// Lines that are not rows are skipped and counted, and so is a last line
// without a line end: the log ends every line it writes, so such a line was
// cut while the file was being copied. A row more than three times the
// previous spacing and at least two seconds after the row before it follows
// a pause. Times that go back (a clock set back) keep the order of the file.
MonitorLogResult ReadMonitorLogText(std::string_view text);
MonitorLogResult ReadMonitorLogFile(const std::string& path);

} // namespace kestrum::monitor
