#pragma once

#include "app/property_page.h"

// The Monitor page: live readings and their log.
// Until the page's controls exist, its refresh only makes sure a controller
// is reached, so that start-up searches for the controller as it will with
// the full page.
class CMonitorPage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CMonitorPage(CMainFrame& frame, QWidget* parent = nullptr);

    void OnRefresh() override;
};
