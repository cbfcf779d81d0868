#pragma once

#include "tools/service_report.h"

#include <QObject>
#include <QString>
#include <optional>

class CControlPage;
class CMonitorPage;
class CProfileCommands;
class CThrottlePage;
class QWidget;

namespace kestrum {
class CController;
}

// Tools > Service Report... and Report Names...: the service report (PDF) of
// the connected controller, made of the pages' reads of this very controller
// and, where they lack something or are of another one, of the pages' own
// reads again.
class CReportCommand : public QObject
{
    Q_OBJECT

public:
    // `window` owns the command and its dialogs; the pages are the ones
    // whose reads the report is made of; `profiles` keeps the service
    // history that today's changes come from.
    CReportCommand(kestrum::CController& controller, CControlPage& control, CThrottlePage& throttle,
                   CMonitorPage& monitor, const CProfileCommands& profiles, QWidget& window);

    // Asks for the names the first time, reads, then asks where to save.
    void OnServiceReport();
    void OnReportNames();

    // The names dialog unless the names were given before; false when the
    // user cancelled it.
    bool AskNamesOnce();
    // After the file was chosen: reads and writes; true once written.
    bool ReportToFile(const QString& path);

signals:
    // "Service report saved", for the status line.
    void ResultReady(const QString& result);

private:
    std::optional<kestrum::ReportReading> Read();
    bool Write(const kestrum::ReportReading& reading, const QString& path);

    kestrum::CController& controller_;
    CControlPage& control_;
    CThrottlePage& throttle_;
    CMonitorPage& monitor_;
    const CProfileCommands& profiles_;
    QWidget& window_;
    // The Throttle Response page's read, as this command last found it on a
    // controller: the page itself does not know whose controller it read.
    std::optional<kestrum::ThrottleReadOf> throttleOf_;
    // The serial number the Control Panel showed before the report read:
    // the Monitor's readings are taken for this controller's only when it
    // is the report's (the plot names its readings the same way).
    std::string panelSerialBefore_;
    QString lastFolder_;
};
