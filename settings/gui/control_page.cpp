#include "settings/gui/control_page.h"

#include "link/controller.h"
#include "settings/gui/setting_slider.h"
#include "ui/control_id.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

using kestrum::ControlPanel;
using kestrum::SettingId;

namespace {

// Where each setting's row sits on the page, in dialog units, in the order
// of kestrum::Settings(). Only the Top Speed row's label and unit have ids.
// One row per setting, in the order of Settings(); the slider's and the
// value's control ids are how the tests and the keyboard find them.
struct SettingRow
{
    int y;
    int sliderY;
    int sliderId;
    int valueId;
    int labelId;
    int unitId;
};

constexpr std::array<SettingRow, kestrum::kSettingCount> kRows{{
    {104, 104, 1031, 1032, -1, -1},
    {120, 120, 1033, 1034, -1, -1},
    {136, 136, 1035, 1036, -1, -1},
    {152, 152, 1037, 1038, -1, -1},
    {168, 168, 1039, 1040, -1, -1},
    {184, 186, 1041, 1042, -1, -1},
    {200, 202, 1049, 1047, 1113, 1114},
}};

constexpr int kModelId = 1074;
constexpr int kSerialNumberId = 1083;
constexpr int kFieldMapId = 1081;
constexpr int kSetId = 1043;
constexpr int kRefreshId = 1044;
constexpr int kDefaultsId = 1045;
constexpr int kSlowId = 1116;
constexpr int kFastId = 1117;
// Space between a settings row's label, value and unit, in dialog units.
constexpr int kColumnGap = 3;

// Check boxes in dialog units, and their control ids, in the order of
// kestrum::kSwitches.
constexpr std::array<QRect, kestrum::kSwitchCount> kSwitchRects{{
    {159, 19, 76, 10},
    {159, 35, 51, 10},
    {159, 51, 35, 10},
    {159, 67, 79, 10},
}};
constexpr std::array<int, kestrum::kSwitchCount> kSwitchIds{1075, 1076, 1078, 1080};

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class Layout
{
public:
    explicit Layout(QWidget& page) : page(page), units(page.font()) {}

    // A control at its template rectangle, widened where the platform font
    // needs more room than the template's font did.
    template<class T>
    T* Add(T* widget, int id, int x, int y, int width, int height)
    {
        if (id >= 0)
            kestrum::SetControlId(widget, id);
        QRect rect = units.Rect(x, y, width, height);
        rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
        rect.setHeight(std::max(
            rect.height(), std::min(widget->sizeHint().height(), units.Y(height) + units.Y(4))));
        widget->setGeometry(rect);
        return widget;
    }

    // A plain label whose template gives only its position.
    QLabel* AddLabel(const QString& text, int id, int x, int y)
    {
        auto* label = new QLabel(text, &page);
        return Add(label, id, x, y, 0, 8);
    }

    QGroupBox* AddGroup(const QString& title, int x, int y, int width, int height)
    {
        auto* group = new QGroupBox(title, &page);
        group->setGeometry(units.Rect(x, y, width, height));
        return group;
    }

    // A control exactly at its template rectangle.
    template<class T>
    T* Place(T* widget, int id, int x, int y, int width, int height)
    {
        kestrum::SetControlId(widget, id);
        widget->setGeometry(units.Rect(x, y, width, height));
        return widget;
    }

    QSize Size(int width, int height) const { return {units.X(width), units.Y(height)}; }
    int X(int width) const { return units.X(width); }

private:
    QWidget& page;
    kestrum::DialogUnits units;
};

} // namespace

CControlPage::CControlPage(kestrum::CController& controller, CWriteGuard& writeGuard,
                           QWidget* parent)
    : CPropertyPage(controller, parent), writeGuard_(writeGuard)
{
    BuildControls();
    ShowAll();
}

CControlPage::~CControlPage() = default;

void CControlPage::BuildControls()
{
    Layout layout(*this);
    setMinimumSize(layout.Size(320, 226));

    // Group boxes first, so that the controls drawn over them stay on top.
    layout.AddGroup(QStringLiteral("Controller"), 7, 7, 130, 78);
    layout.AddGroup(QStringLiteral("Switches"), 147, 7, 101, 78);
    layout.AddGroup(QStringLiteral("Settings"), 7, 89, 305, 131);

    layout.AddLabel(QStringLiteral("Model"), -1, 18, 21);
    // The fallback name "UNKNOWN UNKNOWN" is wider in capitals than the
    // template allows for with most platform fonts: it wraps, and the rows
    // below make room for its second line (the group has room below them).
    modelLabel_ = layout.Add(new QLabel(this), kModelId, 65, 21, 70, 8);
    modelLabel_->setWordWrap(true);
    modelLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    modelLineHeight_ = modelLabel_->height();
    QLabel* serialCaption = layout.AddLabel(QStringLiteral("Serial #"), -1, 18, 37);
    serialNumberLabel_ = layout.Add(new QLabel(this), kSerialNumberId, 65, 37, 70, 8);
    QLabel* fieldMapCaption = layout.AddLabel(QStringLiteral("Field Map #"), -1, 18, 53);
    fieldMapLabel_ = layout.Add(new QLabel(this), kFieldMapId, 65, 53, 70, 8);
    belowModel_ = {serialCaption, serialNumberLabel_, fieldMapCaption, fieldMapLabel_};
    for (std::size_t i = 0; i < belowModel_.size(); ++i)
        belowModelTops_[i] = belowModel_[i]->y();

    for (std::size_t i = 0; i < kestrum::kSwitchCount; ++i) {
        const kestrum::SwitchInfo& info = kestrum::kSwitches[i];
        const QRect& r = kSwitchRects[i];
        auto* box = layout.Add(new QCheckBox(Text(info.text), this), kSwitchIds[i], r.x(), r.y(),
                               r.width(), r.height());
        connect(box, &QCheckBox::clicked, this, [this, i] { OnSwitchClicked(i); });
        switchBoxes_[i] = box;
    }

    setButton_ = layout.Add(new QPushButton(QStringLiteral("&Set"), this), kSetId, 262, 12, 50, 14);
    defaults_ = layout.Add(new QPushButton(QStringLiteral("&Defaults"), this), kDefaultsId, 262, 34,
                           50, 14);
    auto* refresh =
        layout.Add(new QPushButton(QStringLiteral("&Refresh"), this), kRefreshId, 262, 55, 50, 14);
    for (QPushButton* button : {setButton_, defaults_, refresh})
        button->setAutoDefault(false);
    connect(setButton_, &QPushButton::clicked, this, &CControlPage::OnSet);
    connect(defaults_, &QPushButton::clicked, this, &CControlPage::OnDefaults);
    connect(refresh, &QPushButton::clicked, this, &CControlPage::OnRefresh);

    const auto& settings = kestrum::Settings();
    // The rows were drawn for a font narrower than most platform fonts: the
    // value and unit columns move right by what the widest row label lacks,
    // so that no label runs into its value. The sliders keep their place.
    int labelsRight = 0;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        QLabel* label = layout.AddLabel(Text(settings[i].label), kRows[i].labelId, 21, kRows[i].y);
        labelsRight = std::max(labelsRight, label->geometry().right());
    }
    const int shift = std::max(0, labelsRight + 1 + layout.X(kColumnGap) - layout.X(91));
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const kestrum::SettingInfo& setting = settings[i];
        const SettingRow& row = kRows[i];
        valueLabels_[i] = layout.Add(new QLabel(this), row.valueId, 91, row.y, 25, 8);
        valueLabels_[i]->move(valueLabels_[i]->pos() + QPoint(shift, 0));
        if (!setting.unit.empty()) {
            QLabel* unit = layout.AddLabel(Text(setting.unit), row.unitId, 125, row.y);
            unit->move(unit->pos() + QPoint(shift, 0));
        }

        auto* slider =
            layout.Place(new CSettingSlider(this), row.sliderId, 168, row.sliderY, 123, 12);
        const SettingId id = setting.id;
        // A move by drag, key or page step arrives as a value change while
        // the slider tracks; a drag's end settles the position silently.
        connect(slider, &QSlider::valueChanged, this,
                [this, id](int value) { OnHScroll(id, value, false); });
        connect(slider, &QSlider::sliderReleased, this,
                [this, id, slider] { OnHScroll(id, slider->value(), true); });
        sliders_[i] = slider;
    }
    layout.AddLabel(QStringLiteral("Slow"), kSlowId, 151, 202);
    layout.AddLabel(QStringLiteral("Fast"), kFastId, 293, 202);
}

// The wait cursor ends before a failure is reported: over the message box it
// would ask the user to wait while the box waits for the user.
void CControlPage::OnRefresh()
{
    ControlPanel::Outcome outcome;
    {
        CWaitCursor wait;
        outcome = panel_.Refresh(Controller());
        ShowAll();
    }
    ShowIdentity(outcome);
    if (outcome == ControlPanel::Outcome::NotResponding)
        kestrum::ShowNotResponding(this);
    if (panel_.Key())
        emit ControllerIdentified(*panel_.Key());
}

void CControlPage::ShowIdentity(ControlPanel::Outcome outcome)
{
    if (outcome == ControlPanel::Outcome::Done) {
        emit IdentityRead(QStringLiteral("%1, serial %2")
                              .arg(QString::fromStdString(panel_.ModelLabel()),
                                   QString::fromStdString(panel_.SerialNumberLabel())));
    } else if (outcome == ControlPanel::Outcome::NotLocated) {
        emit IdentityRead(QString());
    }
}

void CControlPage::OnSet()
{
    // With no port there is nothing to write to, and nothing to report.
    if (!Controller().IsPortOpen())
        return;
    // Values planned against one controller's readings are never written to
    // another: the cable may have moved to the next cart without a hang-up.
    if (!writeGuard_.CheckBeforeWrite(*this))
        return;
    emit AboutToWrite(QStringLiteral("Set"));
    ControlPanel::Outcome outcome;
    {
        CWaitCursor wait;
        outcome = panel_.Set(Controller());
        ShowAll();
    }
    ShowWriteResult(outcome);
    if (outcome == ControlPanel::Outcome::NotResponding)
        kestrum::ShowNotResponding(this);
}

void CControlPage::ShowWriteResult(ControlPanel::Outcome outcome)
{
    const std::size_t written = panel_.WrittenBySet();
    const QString count =
        written == 1 ? QStringLiteral("1 setting") : QStringLiteral("%1 settings").arg(written);
    if (outcome == ControlPanel::Outcome::Done && written > 0) {
        emit ResultReady(count + QStringLiteral(" written and verified"));
    } else if (outcome == ControlPanel::Outcome::NotResponding) {
        emit ResultReady(count +
                         QStringLiteral(" written and verified; the controller stopped answering"));
    }
}

void CControlPage::OnDefaults()
{
    CWaitCursor wait;
    panel_.Defaults();
    ShowAll();
}

void CControlPage::OnHScroll(SettingId id, int position, bool endOfMove)
{
    const std::size_t index = kestrum::SettingIndex(id);
    const ControlPanel::SliderMove move = panel_.MoveSlider(
        id, static_cast<std::uint16_t>(std::clamp(position, 0, 0xFFFF)), endOfMove);
    if (!move.message.empty()) {
        // The box takes the mouse: let go of the slider first, or it would
        // go on dragging or stepping behind the box and ask again.
        sliders_[index]->EndInteraction();
        kestrum::ShowMessageBox(Text(move.message), QMessageBox::Ok, QMessageBox::Warning, this);
    }
    ShowSetting(index);
    setButton_->setEnabled(SetAllowed());
}

void CControlPage::OnSwitchClicked(std::size_t index)
{
    if (index >= switchBoxes_.size())
        return;
    panel_.SetSwitch(index, switchBoxes_[index]->isChecked());
    UpdateSetButton();
}

void CControlPage::UpdateSetButton()
{
    panel_.UpdateSetButton();
    setButton_->setEnabled(SetAllowed());
}

bool CControlPage::SetAllowed() const
{
    return panel_.SetEnabled() && ShowsConnected();
}

void CControlPage::OnShownStateChanged()
{
    ShowAll();
}

void CControlPage::ShowAll()
{
    modelLabel_->setText(QString::fromStdString(panel_.ModelLabel()));
    const int modelHeight =
        std::max(modelLineHeight_, modelLabel_->heightForWidth(modelLabel_->width()));
    modelLabel_->resize(modelLabel_->width(), modelHeight);
    for (std::size_t i = 0; i < belowModel_.size(); ++i)
        belowModel_[i]->move(belowModel_[i]->x(),
                             belowModelTops_[i] + modelHeight - modelLineHeight_);
    serialNumberLabel_->setText(QString::fromStdString(panel_.SerialNumberLabel()));
    fieldMapLabel_->setText(QString::fromStdString(panel_.FieldMapLabel()));
    for (std::size_t i = 0; i < sliders_.size(); ++i)
        ShowSetting(i);
    ShowSwitches();
    // Values of a controller no longer connected are greyed, as unread ones.
    for (QLabel* label : {modelLabel_, serialNumberLabel_, fieldMapLabel_})
        label->setEnabled(ShowsConnected());
    setButton_->setEnabled(SetAllowed());
    defaults_->setEnabled(panel_.AnythingRead() && ShowsConnected());
}

void CControlPage::ShowSetting(std::size_t index)
{
    const SettingId id = kestrum::Settings()[index].id;
    CSettingSlider* slider = sliders_[index];
    // Mirroring the state is no user move: keep it from coming back as one.
    const QSignalBlocker quiet(slider);
    const int maximum = panel_.Maximum(id);
    if (slider->maximum() != maximum) {
        slider->setRange(0, maximum);
        // As a trackbar pages: a fifth of the range.
        slider->setPageStep(std::max(1, maximum / 5));
    }
    slider->setValue(panel_.Position(id));
    valueLabels_[index]->setText(QString::fromStdString(panel_.ValueText(id)));
    // Greyed until read, so that nothing looks like a reading never made.
    const bool read = panel_.SettingRead(id) && ShowsConnected();
    slider->setEnabled(read);
    valueLabels_[index]->setEnabled(read);
}

void CControlPage::ShowSwitches()
{
    for (std::size_t i = 0; i < switchBoxes_.size(); ++i) {
        switchBoxes_[i]->setChecked(panel_.SwitchChecked(i));
        switchBoxes_[i]->setEnabled(panel_.SwitchesRead() && ShowsConnected());
    }
    switchBoxes_[kestrum::kPlugBrakeSwitch]->setEnabled(
        panel_.SwitchesRead() && panel_.PlugBrakeEnabled() && ShowsConnected());
}
