#include "throttle/gui/throttle_page.h"

#include "link/controller.h"
#include "throttle/gui/table_edit.h"
#include "throttle/sensor_types.h"
#include "tools/gui/dialog_progress.h"
#include "ui/control_id.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Response buttons in the order of kestrum::AllCurves().
struct CurveButton
{
    int id;
    const char* label;
};
constexpr CurveButton kCurveButtons[] = {{1024, "Linear"},
                                         {1025, "S-Curve"},
                                         {1026, "Progressive"},
                                         {1027, "Inductive"},
                                         {1028, "Custom"}};

// The sensor type buttons' control ids, in the order of kestrum::kSensorTypes.
constexpr std::array<int, kestrum::kSensorTypes.size()> kSensorButtonIds{1094, 1095, 1096, 1097,
                                                                         1098, 1099, 1100, 1101};

// Exclusive buttons that may also all be unchecked.
void CheckOnly(const std::array<QRadioButton*, 8>& buttons, std::optional<std::size_t> index)
{
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(index == i);
        buttons[i]->setAutoExclusive(true);
    }
}

} // namespace

CThrottlePage::CThrottlePage(kestrum::CController& controller, CWriteGuard& writeGuard,
                             QWidget* parent)
    : CPropertyPage(controller, parent), writeGuard_(writeGuard)
{
    setMinimumSize(420, 300);
    auto* sensorGroup = new QGroupBox(QStringLiteral("Throttle Sensor Type"), this);
    this->sensorGroup_ = sensorGroup;
    auto* sensorLayout = new QVBoxLayout(sensorGroup);
    for (std::size_t i = 0; i < sensorButtons_.size(); ++i) {
        const auto& type = kestrum::kSensorTypes[i];
        auto* button = new QRadioButton(
            QString::fromUtf8(type.label.data(), static_cast<qsizetype>(type.label.size())),
            sensorGroup);
        kestrum::SetControlId(button, kSensorButtonIds[i]);
        sensorLayout->addWidget(button);
        sensorButtons_[i] = button;
        connect(button, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                response_.CheckSensor(i);
            ShowState();
        });
    }
    auto* curveGroup = new QGroupBox(QStringLiteral("Throttle Response"), this);
    this->curveGroup_ = curveGroup;
    auto* curveLayout = new QVBoxLayout(curveGroup);
    const auto curves = kestrum::AllCurves();
    for (std::size_t i = 0; i < curveButtons_.size(); ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(kCurveButtons[i].label), curveGroup);
        kestrum::SetControlId(button, kCurveButtons[i].id);
        curveLayout->addWidget(button);
        curveButtons_[i] = button;
        connect(button, &QRadioButton::clicked, this, [this, curve = curves[i]] {
            response_.Select(curve);
            UpdateGraph();
        });
    }
    // Greyed until a Refresh reads the sensor type and options, so that
    // nothing looks like a reading that was never made.
    for (QRadioButton* button : sensorButtons_)
        button->setEnabled(false);
    for (QRadioButton* button : curveButtons_)
        button->setEnabled(false);

    setButton_ = new QPushButton(QStringLiteral("&Set"), this);
    kestrum::SetControlId(setButton_, 1043);
    refreshButton_ = new QPushButton(QStringLiteral("&Refresh"), this);
    kestrum::SetControlId(refreshButton_, 1044);
    connect(setButton_, &QPushButton::clicked, this, &CThrottlePage::OnSet);
    connect(refreshButton_, &QPushButton::clicked, this, &CThrottlePage::OnRefresh);
    graph_ = new CTableEdit(this);
    kestrum::SetControlId(graph_, 1079);
    tableNotice_ = new QLabel(this);
    tableNotice_->setObjectName(QStringLiteral("tableNotice"));
    tableNotice_->setWordWrap(true);
    tableNotice_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setButton_);
    buttons->addWidget(refreshButton_);
    buttons->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(curveGroup);
    right->addLayout(buttons);
    right->addWidget(graph_, 1);
    right->addWidget(tableNotice_);
    auto* top = new QHBoxLayout(this);
    top->addWidget(sensorGroup);
    top->addLayout(right, 1);
    ShowState();
}

void CThrottlePage::OnRefresh()
{
    CWaitCursor wait;
    kestrum::ThrottleResponse::Outcome outcome;
    {
        CDialogProgress progress(QStringLiteral("Reading Throttle Table..."), window());
        outcome = response_.Refresh(Controller(), progress);
    }
    if (outcome == kestrum::ThrottleResponse::Outcome::NotLocated)
        return;
    SetShowsConnected(true);
    ShowResponse();
    if (outcome == kestrum::ThrottleResponse::Outcome::NotResponding)
        kestrum::ShowNotResponding(this);
}

void CThrottlePage::ShowResponse()
{
    if (response_.SensorsRead()) {
        for (std::size_t i = 0; i < sensorButtons_.size(); ++i)
            sensorButtons_[i]->setEnabled(kestrum::SensorEnabled(
                kestrum::kSensorTypes[i], response_.Options(), response_.RestrictedModel()));
    }
    for (std::size_t i = 0; i < kestrum::kFixedCurveCount; ++i)
        curveButtons_[i]->setEnabled(response_.CurvesEnabled());
    CheckOnly(sensorButtons_, kestrum::SensorIndex(response_.SensorCode()));
    response_.CheckSensor(kestrum::SensorIndex(response_.SensorCode()));
    const auto curves = kestrum::AllCurves();
    for (std::size_t i = 0; i < curveButtons_.size(); ++i)
        curveButtons_[i]->setChecked(response_.Selected() == curves[i]);
    // Custom holds only what was read or is to be written, never a choice
    // of its own.
    const std::size_t custom = kestrum::kCustomCurveIndex;
    curveButtons_[custom]->setEnabled(response_.Written() == curves[custom] ||
                                      response_.Selected() == curves[custom]);
    UpdateGraph();
}

void CThrottlePage::OnSet()
{
    // Never a curve planned against another controller's readings.
    if (!writeGuard_.CheckBeforeWrite(*this))
        return;
    emit AboutToWrite(QStringLiteral("Throttle Set"));
    CWaitCursor wait;
    const bool writesTable =
        response_.Selected() != nullptr && response_.Selected() != response_.Written();
    kestrum::ThrottleResponse::Outcome outcome;
    {
        CDialogProgress progress(QStringLiteral("Writing Throttle Table..."), window());
        outcome = response_.Set(Controller(), progress);
    }
    using Outcome = kestrum::ThrottleResponse::Outcome;
    if (outcome == Outcome::Done) {
        const bool tableWritten = writesTable && response_.Written() == response_.Selected();
        emit ResultReady(QString::fromUtf8(kestrum::SetDoneText(tableWritten)));
    } else if (outcome == Outcome::NotResponding) {
        kestrum::ShowNotResponding(this);
    } else if (outcome == Outcome::PartlyWritten) {
        emit ResultReady(QString::fromUtf8(kestrum::kTablePartlyWrittenResult));
        kestrum::ShowMessageBox(
            QString::fromStdString(kestrum::TablePartlyWrittenText("Press Set to write it again.")),
            QMessageBox::Ok, QMessageBox::Warning, this);
    }
    ShowState();
}

void CThrottlePage::ShowState()
{
    setButton_->setEnabled(response_.SetEnabled() && ShowsConnected());
}

void CThrottlePage::OnShownStateChanged()
{
    for (QWidget* shown : {sensorGroup_, curveGroup_, static_cast<QWidget*>(graph_)})
        shown->setEnabled(ShowsConnected());
    ShowState();
}

void CThrottlePage::UpdateGraph()
{
    if (auto* curve = response_.Selected())
        graph_->SetTable(curve->table.data(), static_cast<int>(curve->table.size()));
    graph_->update();
    const std::string notice = kestrum::TableReadNotice(response_);
    tableNotice_->setText(QString::fromStdString(notice));
    tableNotice_->setVisible(!notice.empty());
    ShowState();
}
