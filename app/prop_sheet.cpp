#include "app/prop_sheet.h"

#include "app/property_page.h"
#include "monitor/gui/monitor_page.h"
#include "settings/gui/control_page.h"
#include "throttle/gui/throttle_page.h"

CPropSheet::CPropSheet(CMainFrame& frame, QWidget* parent) : QTabWidget(parent)
{
    // Not displayed (the sheet has no caption bar), kept for accessibility.
    setWindowTitle(QStringLiteral("Quorvel Motor Controller"));
    auto* control = new CControlPage(frame);
    auto* monitor = new CMonitorPage(frame);
    monitor->serialNumber = [control] {
        return QString::fromStdString(control->Panel().SerialNumberLabel());
    };
    addTab(control, QStringLiteral("Control Panel"));
    addTab(new CThrottlePage(frame), QStringLiteral("Throttle Response"));
    addTab(monitor, QStringLiteral("Monitor"));

    connect(this, &QTabWidget::currentChanged, this, &CPropSheet::OnCurrentChanged);
    // The first page is shown as the sheet comes into being.
    OnCurrentChanged(currentIndex());
}

CPropertyPage* CPropSheet::Page(int index) const
{
    return qobject_cast<CPropertyPage*>(widget(index));
}

CPropertyPage* CPropSheet::ActivePage() const
{
    return qobject_cast<CPropertyPage*>(currentWidget());
}

void CPropSheet::OnCurrentChanged(int index)
{
    if (CPropertyPage* page = Page(index)) {
        page->OnSetActive();
    }
}
