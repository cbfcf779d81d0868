#pragma once

#include "app/property_page.h"

// The Throttle Response page: sensor type, response curve and table.
// Until the page's controls exist, its refresh only makes sure a controller
// is reached, so that start-up searches for the controller as it will with
// the full page.
class CThrottlePage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CThrottlePage(CMainFrame& frame, QWidget* parent = nullptr);

    void OnRefresh() override;
};
