#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"

#ifdef KESTRUM_REPORT_PDF
#include "profiles/service_history.h"
#include "settings/control_panel.h"
#include "throttle/throttle_response.h"
#include "tools/pdf/report_names.h"
#include "tools/pdf/service_report_pdf.h"
#include "tools/service_report.h"

#include <QGuiApplication>
#endif

// report: the service report (PDF) of the connected controller, as the
// window's Tools > Service Report... makes it.
namespace kestrum::cli {

#ifdef KESTRUM_REPORT_PDF

int RunReport(Session& session)
{
    if (session.WordCount() != 2)
        return UsageError("report takes one FILE");
    const std::string& path = session.Word(1);
    if (const auto refused = RefuseUnusableFile(path))
        return *refused;
    if (!Connect(session))
        return kNoController;

    ControlPanel panel;
    ThrottleResponse response;
    std::optional<ThrottleReadOf> throttleOf;
    ReportReading reading;
    {
        TerminalProgress::InstallInterruptHandler();
        TerminalProgress progress("Reading throttle table");
        reading = ReadForReport(session.link, panel, response, throttleOf, progress);
    }
    switch (reading.outcome) {
    case ReportReading::Outcome::Done:
        break;
    case ReportReading::Outcome::NotLocated:
        return kNoController;
    case ReportReading::Outcome::PageIncomplete:
        if (response.TableReadCancelled()) {
            PrintError("The throttle table read was cancelled; no report was written.");
            return kFailed;
        }
        [[fallthrough]];
    case ReportReading::Outcome::NotResponding:
        return NotResponding();
    }

    const auto application = MakeGuiApplication();
    const ReportNames names = LoadReportNames();
    const ServiceHistory history(DefaultHistoryFolder());
    ReportContext context;
    context.port = session.link.Port().Name();
    context.technician = names.technician.toStdString();
    context.workshop = names.workshop.toStdString();
    context.madeAt = ReportTimeNow();
    context.history = &history;
    const ServiceReport report = ComposeServiceReport(reading.profile, reading.errorLog, context);
    const ReportPdfResult written = WriteServiceReportPdf(report, QString::fromStdString(path));
    if (!written.written) {
        PrintError(written.error.toStdString());
        return kFileError;
    }
    return kSuccess;
}

#else

int RunReport(Session&)
{
    PrintError("The service report is not available in this build of kestrum-cli (it needs Qt).");
    return kFailed;
}

#endif

} // namespace kestrum::cli
