#pragma once

#include <QTabWidget>

class CMainFrame;
class CPropertyPage;

// The tabbed sheet over the main window's client area, holding the three
// pages in this order, which is also the meaning of the stored "View":
// 0 "Control Panel", 1 "Throttle Response", 2 "Monitor". It has no OK,
// Cancel or Apply buttons. Building it activates its first page, whose first
// activation reads the controller.
class CPropSheet : public QTabWidget
{
    Q_OBJECT

public:
    explicit CPropSheet(CMainFrame& frame, QWidget* parent = nullptr);

    static constexpr int kPageCount = 3;
    CPropertyPage* Page(int index) const;
    CPropertyPage* ActivePage() const;

private:
    void OnCurrentChanged(int index);
};
