#include "tools/pdf/report_names.h"

#include <QSettings>

namespace kestrum {
namespace {

// The window's own store, named here too so that kestrum-cli, which sets no
// application identity, reads the same one.
class ReportStore : public QSettings
{
public:
    ReportStore() : QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel Kestrum"))
    {
        beginGroup(QStringLiteral("Report"));
    }
};

} // namespace

bool ReportNamesStored()
{
    ReportStore store;
    return store.contains(QStringLiteral("Technician"));
}

ReportNames LoadReportNames()
{
    ReportStore store;
    return {store.value(QStringLiteral("Technician")).toString(),
            store.value(QStringLiteral("Workshop")).toString()};
}

void SaveReportNames(const ReportNames& names)
{
    ReportStore store;
    store.setValue(QStringLiteral("Technician"), names.technician);
    store.setValue(QStringLiteral("Workshop"), names.workshop);
}

} // namespace kestrum
