#pragma once

#include "tools/service_report.h"

#include <QObject>
#include <QString>
#include <optional>

class CControlPage;
class CMainFrame;
class CMonitorPage;
class CThrottlePage;

// Tools > Service Report... and Report Names...: the service report (PDF) of
// the connected controller, made of the pages' reads of this very controller
// and, where they lack something or are of another one, of the pages' own
// reads again.
class CReportCommand : public QObject
{
    Q_OBJECT

public:
    explicit CReportCommand(CMainFrame& frame);

    // Asks for the names the first time, reads, then asks where to save.
    void OnServiceReport();
    void OnReportNames();

    // The names dialog unless the names were given before; false when the
    // user cancelled it.
    bool AskNamesOnce();
    // After the file was chosen: reads and writes; true once written.
    bool ReportToFile(const QString& path);

private:
    CControlPage& ControlPage() const;
    CThrottlePage& ThrottlePage() const;
    CMonitorPage& MonitorPage() const;
    std::optional<kestrum::ReportReading> Read();
    bool Write(const kestrum::ReportReading& reading, const QString& path);

    CMainFrame& frame;
    // The Throttle Response page's read, as this command last found it on a
    // controller: the page itself does not know whose controller it read.
    std::optional<kestrum::ThrottleReadOf> throttleOf;
    // The serial number the Control Panel showed before the report read:
    // the Monitor's readings are taken for this controller's only when it
    // is the report's (the plot names its readings the same way).
    std::string panelSerialBefore;
    QString lastFolder;
};
