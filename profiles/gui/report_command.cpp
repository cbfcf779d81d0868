#include "profiles/gui/report_command.h"

#include "link/controller.h"
#include "monitor/gui/monitor_page.h"
#include "monitor/gui/report_plot_picture.h"
#include "profiles/gui/profile_commands.h"
#include "profiles/gui/report_names_dlg.h"
#include "settings/gui/control_page.h"
#include "throttle/gui/throttle_page.h"
#include "tools/pdf/report_names.h"
#include "tools/pdf/service_report_pdf.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

CReportCommand::CReportCommand(kestrum::CController& link, CControlPage& controlPage,
                               CThrottlePage& throttlePage, CMonitorPage& monitorPage,
                               const CProfileCommands& profileCommands, QWidget& owner)
    : QObject(&owner), controller_(link), control_(controlPage), throttle_(throttlePage),
      monitor_(monitorPage), profiles_(profileCommands), window_(owner)
{}

void CReportCommand::OnServiceReport()
{
    if (!AskNamesOnce())
        return;
    const auto reading = Read();
    if (!reading)
        return;
    const QString name = QStringLiteral("Service Report %1 %2.pdf")
                             .arg(QString::fromStdString(reading->profile.serialNumber),
                                  QString::fromStdString(kestrum::ReportTimeNow().substr(0, 10)));
    const QString path = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Service Report"), QDir(lastFolder_).filePath(name),
        QStringLiteral("PDF Files (*.pdf);;All Files (*.*)"));
    if (!path.isEmpty())
        Write(*reading, path);
}

void CReportCommand::OnReportNames()
{
    CReportNamesDlg dialog(kestrum::LoadReportNames(), &window_);
    if (dialog.exec() == QDialog::Accepted)
        kestrum::SaveReportNames(dialog.Names());
}

bool CReportCommand::AskNamesOnce()
{
    if (kestrum::ReportNamesStored())
        return true;
    CReportNamesDlg dialog(kestrum::LoadReportNames(), &window_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    kestrum::SaveReportNames(dialog.Names());
    return true;
}

bool CReportCommand::ReportToFile(const QString& path)
{
    const auto reading = Read();
    return reading && Write(*reading, path);
}

std::optional<kestrum::ReportReading> CReportCommand::Read()
{
    CWaitCursor wait;
    panelSerialBefore_ = kestrum::PanelComplete(control_.Panel())
                             ? control_.Panel().SerialNumberLabel()
                             : std::string();
    // The pages read what is missing, each with its own progress window and
    // its own word when the controller does not answer.
    kestrum::ReportReadHooks hooks;
    hooks.refreshPanel = [this] { control_.OnRefresh(); };
    hooks.refreshThrottle = [this] { throttle_.OnRefresh(); };
    kestrum::NoProgress shownByThePages;
    kestrum::ReportReading reading = kestrum::ReadForReport(
        controller_, control_.Panel(), throttle_.Response(), throttleOf_, shownByThePages, hooks);
    if (reading.outcome == kestrum::ReportReading::Outcome::Done)
        return reading;
    if (reading.outcome == kestrum::ReportReading::Outcome::NotResponding)
        kestrum::ShowNotResponding(&window_);
    return std::nullopt;
}

bool CReportCommand::Write(const kestrum::ReportReading& reading, const QString& path)
{
    lastFolder_ = QFileInfo(path).absolutePath();
    const kestrum::ReportNames names = kestrum::LoadReportNames();
    kestrum::ReportContext context;
    context.port = controller_.Port().Name();
    context.technician = names.technician.toStdString();
    context.workshop = names.workshop.toStdString();
    context.madeAt = kestrum::ReportTimeNow();
    context.history = &profiles_.History();
    const kestrum::monitor::CPlotHistory& readings = monitor_.PlotHistory();
    kestrum::ReportPicture picture;
    if (!panelSerialBefore_.empty() && panelSerialBefore_ == reading.profile.serialNumber) {
        context.monitor = kestrum::SummariseReadings(readings.Samples());
        if (context.monitor)
            picture = MonitorPicture(readings);
    }
    const kestrum::ServiceReport report =
        kestrum::ComposeServiceReport(reading.profile, reading.errorLog, context);
    CWaitCursor wait;
    const kestrum::ReportPdfResult written =
        kestrum::WriteServiceReportPdf(report, path, kestrum::LocalePageSize(), picture);
    if (!written.written) {
        kestrum::ShowMessageBox(written.error, QMessageBox::Ok, QMessageBox::Warning, &window_);
        return false;
    }
    emit ResultReady(QStringLiteral("Service report saved"));
    return true;
}
