#pragma once

#include "throttle/throttle_response.h"
#include "ui/property_page.h"

#include <array>

class QRadioButton;
class QWidget;
class QLabel;
class QPushButton;
class CTableEdit;

// The Throttle Response page: sensor type, response curve and its graph.
class CThrottlePage : public CPropertyPage
{
    Q_OBJECT

public:
    // `writeGuard` is asked before each Set's first write.
    CThrottlePage(kestrum::CController& controller, CWriteGuard& writeGuard,
                  QWidget* parent = nullptr);

    void OnRefresh() override;
    void OnSet();

    // The page's model, for commands that read or write the whole setup
    // (profiles); ShowResponse mirrors it into the controls afterwards.
    kestrum::ThrottleResponse& Response() { return response_; }
    void ShowResponse();

protected:
    void OnShownStateChanged() override;

private:
    CWriteGuard& writeGuard_;
    void ShowState();
    void UpdateGraph();

    kestrum::ThrottleResponse response_;
    std::array<QRadioButton*, 8> sensorButtons_{};
    std::array<QRadioButton*, kestrum::kCurveCount> curveButtons_{};
    QPushButton* setButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    CTableEdit* graph_ = nullptr;
    QLabel* tableNotice_ = nullptr;
    // Greyed as a whole while the values are of a controller no longer
    // connected; each button keeps its own enabling beneath.
    QWidget* sensorGroup_ = nullptr;
    QWidget* curveGroup_ = nullptr;
};
