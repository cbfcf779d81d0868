// The service report against a controller at 9600 bit/s: the reads it costs
// on the wire, and the time from the last read to the PDF written, which a
// technician waits for on top of the wire and which should stay under a
// second.
#include "link/controller.h"
#include "profiles/service_history.h"
#include "settings/control_panel.h"
#include "sim/simulator.h"
#include "throttle/throttle_response.h"
#include "tools/pdf/service_report_pdf.h"
#include "tools/service_report.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main()
{
    const auto application = kestrum::MakeGuiApplication();
    kestrum::sim::Simulator sim(
        {.modelCode = 0, .pacing = true, .liveGauges = false, .recordTranscript = false});
    if (!sim.Start())
        return 1;
    kestrum::CController link;
    link.Port().SetName(sim.PortPath());
    if (!link.OpenLink())
        return 1;
    QTemporaryDir folder;
    const kestrum::ServiceHistory history(folder.path().toStdString());

    kestrum::ControlPanel panel;
    kestrum::ThrottleResponse response;
    std::optional<kestrum::ThrottleReadOf> throttleOf;
    kestrum::NoProgress progress;
    auto start = std::chrono::steady_clock::now();
    auto reading = kestrum::ReadForReport(link, panel, response, throttleOf, progress);
    const double firstMs = Since(start);
    start = std::chrono::steady_clock::now();
    reading = kestrum::ReadForReport(link, panel, response, throttleOf, progress);
    const double againMs = Since(start);
    if (reading.outcome != kestrum::ReportReading::Outcome::Done)
        return 1;

    // From the last answer on the wire to the file in place.
    start = std::chrono::steady_clock::now();
    kestrum::ReportContext context;
    context.port = link.Port().Name();
    context.madeAt = kestrum::ReportTimeNow();
    context.history = &history;
    const kestrum::ServiceReport report =
        kestrum::ComposeServiceReport(reading.profile, reading.errorLog, context);
    const kestrum::ReportPdfResult written =
        kestrum::WriteServiceReportPdf(report, QDir(folder.path()).filePath("report.pdf"));
    const double writeMs = Since(start);
    if (!written.written)
        return 1;

    std::printf("reads with nothing read before (identity, settings, table, error log): %.0f ms\n",
                firstMs);
    std::printf("reads with the pages' reads of this controller (identity, error log): %.0f ms\n",
                againMs);
    std::printf("last read to file written: %.1f ms, %d page(s) (target < 1000 ms)\n", writeMs,
                written.pages);
    return writeMs < 1000 ? 0 : 2;
}
