#pragma once

#include <QTabWidget>

class CPropertyPage;

// The tabbed sheet over the main window's client area, holding the three
// pages in this order, which is also the meaning of the stored "View":
// 0 "Control Panel", 1 "Throttle Response", 2 "Monitor". It has no OK,
// Cancel or Apply buttons. The window adds the pages it built and connected,
// then starts the sheet: that activates the page shown, whose first
// activation reads the controller.
class CPropSheet : public QTabWidget
{
    Q_OBJECT

public:
    explicit CPropSheet(QWidget* parent = nullptr);

    static constexpr int kPageCount = 3;
    void AddPage(CPropertyPage* page, const QString& title);
    void Start();
    CPropertyPage* Page(int index) const;
    CPropertyPage* ActivePage() const;

private:
    void OnCurrentChanged(int index);
};
