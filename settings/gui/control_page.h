#pragma once

#include "settings/control_panel.h"
#include "ui/property_page.h"

#include <array>

class CSettingSlider;
class QCheckBox;
class QLabel;
class QPushButton;

// The Control Panel page: what the controller is (model, serial number, field
// map), its seven settings on sliders and four switches on check boxes, and
// the Set, Defaults and Refresh commands. The values and what the controller
// is known to hold live in a kestrum::ControlPanel; the page turns user
// events into its commands and mirrors its state into the controls.
class CControlPage : public CPropertyPage
{
    Q_OBJECT

public:
    // `writeGuard` is asked before each Set's first write.
    CControlPage(kestrum::CController& controller, CWriteGuard& writeGuard,
                 QWidget* parent = nullptr);
    ~CControlPage() override;

    void OnRefresh() override;
    void OnSet();
    void OnDefaults();
    // A slider moved (by drag, keyboard or page step), or a drag ended.
    void OnHScroll(kestrum::SettingId id, int position, bool endOfMove);
    void OnSwitchClicked(std::size_t index);
    void UpdateSetButton();

    // The page's model, for commands that read or write the whole setup
    // (profiles); ShowAll mirrors it into the controls afterwards.
    kestrum::ControlPanel& Panel() { return panel_; }
    void ShowAll();

protected:
    void OnShownStateChanged() override;

private:
    CWriteGuard& writeGuard_;
    bool SetAllowed() const;
    void BuildControls();
    void ShowIdentity(kestrum::ControlPanel::Outcome outcome);
    void ShowWriteResult(kestrum::ControlPanel::Outcome outcome);
    void ShowSetting(std::size_t index);
    void ShowSwitches();

    kestrum::ControlPanel panel_;
    QLabel* modelLabel_ = nullptr;
    QLabel* serialNumberLabel_ = nullptr;
    QLabel* fieldMapLabel_ = nullptr;
    // The identity rows under the model, moved down while its name wraps.
    std::array<QLabel*, 4> belowModel_{};
    std::array<int, 4> belowModelTops_{};
    int modelLineHeight_ = 0;
    std::array<CSettingSlider*, kestrum::kSettingCount> sliders_{};
    std::array<QLabel*, kestrum::kSettingCount> valueLabels_{};
    std::array<QCheckBox*, kestrum::kSwitchCount> switchBoxes_{};
    QPushButton* setButton_ = nullptr;
    QPushButton* defaults_ = nullptr;
};
