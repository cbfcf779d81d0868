#pragma once

#include "monitor/plot_history.h"
#include "tools/pdf/service_report_pdf.h"

// The service report's picture of the Monitor's last minutes: the plot's
// own voltage and current charts, painted into the report's page.
kestrum::ReportPicture MonitorPicture(const kestrum::monitor::CPlotHistory& history);
