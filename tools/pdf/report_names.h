#pragma once

#include <QString>

// The technician's and the workshop's names a report carries, kept in the
// tool's settings store (group "Report") so that they are asked for once.
namespace kestrum {

struct ReportNames
{
    QString technician;
    QString workshop;
};

// None until the names were first given (empty names count as given).
bool ReportNamesStored();
ReportNames LoadReportNames();
void SaveReportNames(const ReportNames& names);

} // namespace kestrum
