#pragma once

#include "app/property_page.h"

// The Control Panel page: the controller's identity and settings.
// Until the page's controls exist, its refresh only makes sure a controller
// is reached, so that start-up searches for the controller as it will with
// the full page.
class CControlPage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CControlPage(CMainFrame& frame, QWidget* parent = nullptr);

    void OnRefresh() override;
};
