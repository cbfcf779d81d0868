// The Control Panel page against the simulated controller: what a refresh
// reads and shows, what Set writes, the voltage rule on the sliders, and the
// Set button's enabling.
#include "app/prop_sheet.h"
#include "gui_test_support.h"
#include "settings/gui/control_page.h"
#include "sim/memory_image.h"
#include "ui/control_id.h"
#include "ui/dialog_units.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace kestrum::test {
namespace {

namespace layout = sim::layout;

constexpr int kModel = 1074;
constexpr int kSerialNumber = 1083;
constexpr int kFieldMap = 1081;
constexpr int kSet = 1043;
constexpr int kRefresh = 1044;
constexpr int kDefaults = 1045;
constexpr int kHighPedalDisable = 1075;
constexpr int kPlugBrake = 1076;
constexpr int kTurbo = 1078;
constexpr int kHalfSpeedReverse = 1080;

constexpr int kMaxCurrent = 1031;
constexpr int kUnderVoltage = 1033;
constexpr int kOverVoltage = 1035;
constexpr int kThrottleDown = 1039;
constexpr int kBrakeCurrent = 1041;
constexpr int kTopSpeed = 1049;

Packet ReadE(std::uint8_t address)
{
    return MakeRequest(Command::ReadEeprom, address);
}

Packet WriteE(std::uint8_t address, std::uint8_t data)
{
    return MakeRequest(Command::WriteEeprom, address, 0, data, 0);
}

// A verified write: the write, then the read-back.
std::vector<Packet> Written(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> writes)
{
    std::vector<Packet> packets;
    for (const auto& [address, data] : writes) {
        packets.push_back(WriteE(address, data));
        packets.push_back(ReadE(address));
    }
    return packets;
}

// What every Set reads before its first write: who answers.
std::vector<Packet> Checked(std::vector<Packet> writes)
{
    std::vector<Packet> packets = {ReadE(127), ReadE(48), ReadE(49), ReadE(50)};
    packets.insert(packets.end(), writes.begin(), writes.end());
    return packets;
}

class ControlPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.SetFastTimings();
        settings.Set({{"WriteDelay", 1}});
    }

    // A controller of model 0 (under-voltage 16..45 V, over-voltage 30..60 V)
    // with every setting away from its default.
    void StartController(std::uint8_t modelCode = 0)
    {
        sim.emplace(sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false});
        ASSERT_TRUE(sim->Started());
        Sim().SetEeprom(layout::kModelCode, modelCode);
        Sim().SetEeprom(layout::kMaxCurrent, 90);
        Sim().SetEeprom(layout::kSwitches, 0x02);
        SetWord(layout::kUnderVoltage, 156 + 50); // 21.1 V
        Sim().SetEeprom(layout::kThrottleUp, 5);
        Sim().SetEeprom(layout::kThrottleDown, 10);
        Sim().SetEeprom(layout::kBrakeCurrent, 80);
        SetWord(layout::kOverVoltage, 292 + 200); // 50.5 V
        Sim().SetEeprom(layout::kOptions, 0x03);
        Sim().SetEeprom(layout::kTopSpeed, 0);
        Sim().SetEeprom(layout::kSerialNumber, 0x40);
        Sim().SetEeprom(layout::kSerialNumber + 1, 0xE2);
        Sim().SetEeprom(layout::kSerialNumber + 2, 0x01);
        Sim().SetFlash(layout::kFieldMap, 0x1234);
    }

    // The main window; its first page reads the controller while it is built.
    void Open()
    {
        frame = std::make_unique<CMainFrame>(App());
        page = qobject_cast<CControlPage*>(frame->Sheet().Page(0));
        ASSERT_NE(page, nullptr);
    }

    sim::Simulator& Sim() { return **sim; }
    void SetWord(std::uint8_t address, std::uint16_t value)
    {
        Sim().SetEeprom(address, static_cast<std::uint8_t>(value & 0xFF));
        Sim().SetEeprom(address + 1, static_cast<std::uint8_t>(value >> 8));
    }
    std::uint16_t Word(std::uint8_t address)
    {
        return static_cast<std::uint16_t>(Sim().Eeprom(address) | Sim().Eeprom(address + 1) << 8);
    }

    QSlider* Slider(int id) { return FindControl<QSlider>(page, id); }
    QString Text(int id) { return FindControl<QLabel>(page, id)->text(); }
    QCheckBox* Box(int id) { return FindControl<QCheckBox>(page, id); }
    QPushButton* Button(int id) { return FindControl<QPushButton>(page, id); }
    bool SetEnabled() { return Button(kSet)->isEnabled(); }
    void Click(int id) { Button(id)->click(); }

    // The value label beside a slider.
    static int ValueId(int sliderId)
    {
        static const std::map<int, int> labels{{1031, 1032}, {1033, 1034}, {1035, 1036},
                                               {1037, 1038}, {1039, 1040}, {1041, 1042},
                                               {1049, 1047}};
        return labels.at(sliderId);
    }
    QString Value(int sliderId) { return Text(ValueId(sliderId)); }

    // The centre of a slider's thumb standing at `value`.
    static QPoint Thumb(const QSlider& slider, int value)
    {
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = slider.orientation();
        option.state |= QStyle::State_Horizontal;
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.tickPosition = slider.tickPosition();
        option.sliderPosition = value;
        option.sliderValue = value;
        option.singleStep = slider.singleStep();
        option.pageStep = slider.pageStep();
        option.direction = Qt::LeftToRight;
        return slider.style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider)
            .center();
    }

    // The user dragging a slider's thumb with the mouse through `values`,
    // releasing it at the last one.
    void Drag(int id, std::initializer_list<int> values)
    {
        QSlider& slider = *Slider(id);
        QTest::mousePress(&slider, Qt::LeftButton, {}, Thumb(slider, slider.value()));
        for (int value : values)
            QTest::mouseMove(&slider, Thumb(slider, value));
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, Thumb(slider, *std::rbegin(values)));
    }

    void Key(int id, Qt::Key key) { QTest::keyClick(Slider(id), key); }

    TempSettings settings;
    MessageBoxRecorder boxes;
    std::optional<SimulatorOnPort> sim;
    std::unique_ptr<CMainFrame> frame;
    CControlPage* page = nullptr;
};

TEST_F(ControlPageTest, refresh_readsIdentitySettingsSwitchesAndOptionsInOrder)
{
    StartController();
    Open();
    Sim().ClearTranscript();

    Click(kRefresh);

    const std::vector<Packet> expected{
        ReadE(127), // the probe of the open port
        ReadE(127), MakeRequest(Command::ReadFlash, 0x02, 0x12),
        ReadE(48),  ReadE(49),
        ReadE(50),  ReadE(4),
        ReadE(16),  ReadE(17), // Over Voltage before Under Voltage
        ReadE(7),   ReadE(8),
        ReadE(9),   ReadE(10),
        ReadE(11),  ReadE(56),
        ReadE(5),   ReadE(23),
    };
    EXPECT_EQ(Sim().Transcript(), expected);
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(ControlPageTest, firstRefresh_showsIdentityAndSettingsAndDisablesSet)
{
    StartController();
    Open();

    EXPECT_EQ(Text(kModel), "KAV RK-AA");
    EXPECT_EQ(Text(kSerialNumber), "123456");
    EXPECT_EQ(Text(kFieldMap), "52");
    const std::map<int, std::pair<int, QString>> shown{
        {kMaxCurrent, {90, "90"}},  {kUnderVoltage, {50, "21.1"}}, {kOverVoltage, {200, "50.5"}},
        {1037, {5, "5"}},           {kThrottleDown, {10, "10"}},   {kBrakeCurrent, {80, "80"}},
        {kTopSpeed, {100, "100.0"}}};
    for (const auto& [id, value] : shown) {
        EXPECT_EQ(Slider(id)->value(), value.first) << id;
        EXPECT_EQ(Value(id), value.second) << id;
    }
    EXPECT_EQ(Slider(kUnderVoltage)->maximum(), 283);
    EXPECT_EQ(Slider(kOverVoltage)->maximum(), 292);
    EXPECT_FALSE(Box(kHighPedalDisable)->isChecked());
    EXPECT_TRUE(Box(kPlugBrake)->isChecked());
    EXPECT_FALSE(Box(kTurbo)->isChecked());
    EXPECT_TRUE(Box(kHalfSpeedReverse)->isChecked()); // bit 3 clear
    EXPECT_TRUE(Box(kPlugBrake)->isEnabled());
    EXPECT_FALSE(SetEnabled());
    EXPECT_EQ(Slider(kBrakeCurrent)->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(Slider(kBrakeCurrent)->orientation(), Qt::Horizontal);
}

// The model rules themselves are the core's (ControlPanelTest); the page
// shows that its sliders and label follow them.
TEST_F(ControlPageTest, modelChange_setsRangesAndLabel)
{
    StartController(0);
    Open();

    Sim().SetEeprom(layout::kModelCode, 102);
    Click(kRefresh);

    EXPECT_EQ(Text(kModel), "TLQ RK-AG");
    EXPECT_EQ(Slider(kUnderVoltage)->maximum(), 234);
    EXPECT_EQ(Slider(kOverVoltage)->maximum(), 585);
    EXPECT_EQ(Slider(kOverVoltage)->value(), 200);
}

TEST_F(ControlPageTest, defaultsThenSet_writesOnlyWhatMoved_voltageLowByteFirst)
{
    StartController(3); // 16..60 V under, 30..90 V over
    Sim().SetEeprom(layout::kMaxCurrent, 100);
    SetWord(layout::kUnderVoltage, 156);
    SetWord(layout::kOverVoltage, 292 + 100);
    Sim().SetEeprom(layout::kThrottleDown, 3);
    Sim().SetEeprom(layout::kBrakeCurrent, 100);
    Sim().SetEeprom(layout::kTopSpeed, 100);
    Open();
    Sim().ClearTranscript();

    Click(kDefaults);

    EXPECT_EQ(Slider(kOverVoltage)->value(), 585);
    EXPECT_EQ(Value(kOverVoltage), "90.0");
    EXPECT_EQ(Value(kUnderVoltage), "16.0");
    EXPECT_EQ(Value(kTopSpeed), "50.0");
    EXPECT_EQ(Slider(kThrottleDown)->value(), 10);
    EXPECT_TRUE(SetEnabled());
    EXPECT_TRUE(Sim().Transcript().empty());

    Click(kSet);

    // 292 + 585 = 877 = 0x036D
    EXPECT_EQ(Sim().Transcript(), Checked(Written({{16, 0x6D}, {17, 0x03}, {10, 10}})));
    EXPECT_EQ(Word(layout::kOverVoltage), 877);
    EXPECT_FALSE(SetEnabled());
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(ControlPageTest, setFailingAtOverVoltage_keepsEarlierWrites_secondSetWritesTheRest)
{
    // One attempt per write, so one missing read-back fails the write.
    settings.Set({{"ReadWriteTries", 1}, {"RetryDelay", 300}});
    StartController();
    Open();
    Slider(kMaxCurrent)->setValue(50);
    Slider(kUnderVoltage)->setValue(60); // 156 + 60 = 0x00D8
    Slider(kOverVoltage)->setValue(250); // 292 + 250 = 0x021E
    Slider(kBrakeCurrent)->setValue(40);
    Sim().ClearTranscript();
    // Answers: the four identity reads, 4, 7 and 8 read back; the eighth,
    // Over Voltage's, never comes.
    Sim().SetFaults(sim::Faults{.dropEvery = 8});

    Click(kSet);

    EXPECT_EQ(Sim().Transcript(), Checked(Written({{4, 50}, {7, 0xD8}, {8, 0x00}, {16, 0x1E}})));
    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    EXPECT_EQ(boxes.requests.at(0).icon, QMessageBox::Warning);
    EXPECT_TRUE(SetEnabled());
    // The controller holds the new low byte with the old high byte.
    EXPECT_EQ(Word(layout::kOverVoltage), 0x011E);

    Sim().SetFaults({});
    Sim().ClearTranscript();
    Click(kSet);

    EXPECT_EQ(Sim().Transcript(), Checked(Written({{16, 0x1E}, {17, 0x02}, {11, 40}})));
    EXPECT_EQ(Word(layout::kOverVoltage), 292 + 250);
    EXPECT_FALSE(SetEnabled());
    EXPECT_EQ(boxes.requests.size(), 1u);
}

TEST_F(ControlPageTest, draggingUnderAcrossOver_warnsOnce_andStopsAtTheOverVoltage)
{
    StartController();
    SetWord(layout::kUnderVoltage, 156);
    SetWord(layout::kOverVoltage, 292); // 30.0 V
    Open();

    Drag(kUnderVoltage, {100, 200, 250});

    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "UnderVoltage cannot be greater than OverVoltage.");
    EXPECT_EQ(boxes.requests[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.requests[0].buttons, QMessageBox::Ok);
    // 29.959 V counts as 30.0 V; one count more would be 30.1 V.
    EXPECT_EQ(Slider(kUnderVoltage)->value(), 136);
    EXPECT_EQ(Value(kUnderVoltage), "30.0");
    EXPECT_FALSE(Slider(kUnderVoltage)->isSliderDown());
    // The box took the mouse: the rest of the drag moved nothing.
    EXPECT_EQ(boxes.requests.size(), 1u);
    EXPECT_TRUE(SetEnabled());
}

TEST_F(ControlPageTest, draggingOverBelowUnder_warnsOnce_andStopsAtTheUnderVoltage)
{
    StartController();
    SetWord(layout::kUnderVoltage, 156 + 200); // 36.5 V
    SetWord(layout::kOverVoltage, 292 + 292);  // 60.0 V
    Open();

    Drag(kOverVoltage, {150, 10, 0});

    EXPECT_EQ(boxes.Texts(), QStringList{"OverVoltage cannot be less than UnderVoltage."});
    EXPECT_EQ(Slider(kOverVoltage)->value(), 63);
    EXPECT_EQ(Value(kOverVoltage), "36.5");
}

TEST_F(ControlPageTest, pageStepAcrossOver_warnsAndCorrects)
{
    StartController();
    SetWord(layout::kUnderVoltage, 156 + 100); // 26.3 V
    SetWord(layout::kOverVoltage, 292);        // 30.0 V
    Open();

    Key(kUnderVoltage, Qt::Key_PageUp); // a fifth of 283 up: 156, 32.0 V

    EXPECT_EQ(boxes.Texts(), QStringList{"UnderVoltage cannot be greater than OverVoltage."});
    EXPECT_EQ(Slider(kUnderVoltage)->value(), 136);

    Key(kUnderVoltage, Qt::Key_Left);
    EXPECT_EQ(Slider(kUnderVoltage)->value(), 135);
    EXPECT_EQ(boxes.requests.size(), 1u);
}

TEST_F(ControlPageTest, movingAwayAndBack_leavesSetDisabled)
{
    StartController();
    Sim().SetEeprom(layout::kSwitches, 0x06); // plug brake and turbo on
    Open();
    ASSERT_FALSE(SetEnabled());

    Key(kBrakeCurrent, Qt::Key_Right);
    EXPECT_TRUE(SetEnabled());
    Key(kBrakeCurrent, Qt::Key_Left);
    EXPECT_FALSE(SetEnabled());

    Drag(kTopSpeed, {40, 100});
    EXPECT_FALSE(SetEnabled());

    Box(kTurbo)->click();
    EXPECT_TRUE(SetEnabled());
    Box(kTurbo)->click();
    EXPECT_FALSE(SetEnabled());
}

TEST_F(ControlPageTest, plugBrakeUnsupported_isGreyed_butItsBitIsStillWrittenAsShown)
{
    StartController();
    Sim().SetEeprom(layout::kOptions, 0x01);
    Open();

    EXPECT_FALSE(Box(kPlugBrake)->isEnabled());
    EXPECT_TRUE(Box(kPlugBrake)->isChecked());
    EXPECT_TRUE(Box(kTurbo)->isEnabled());

    Sim().ClearTranscript();
    Box(kTurbo)->click();
    Click(kSet);
    EXPECT_EQ(Sim().Transcript(), Checked(Written({{5, 0x06}})));
}

TEST_F(ControlPageTest, unusedSwitchBits_areClearedByTheNextSet)
{
    StartController();
    Sim().SetEeprom(layout::kSwitches, 0xF3);
    Open();

    EXPECT_TRUE(Box(kHighPedalDisable)->isChecked());
    EXPECT_TRUE(Box(kPlugBrake)->isChecked());
    EXPECT_FALSE(Box(kTurbo)->isChecked());
    EXPECT_TRUE(Box(kHalfSpeedReverse)->isChecked());

    // A disabled Set button writes nothing.
    Sim().ClearTranscript();
    Click(kSet);
    EXPECT_TRUE(Sim().Transcript().empty());

    Key(kBrakeCurrent, Qt::Key_Right);
    Click(kSet);
    EXPECT_EQ(Sim().Transcript(), Checked(Written({{11, 81}, {5, 0x03}})));
    EXPECT_EQ(Sim().Eeprom(layout::kSwitches), 0x03);
}

TEST_F(ControlPageTest, refreshFailing_keepsWhatWasReadAndDisablesSet)
{
    settings.Set({{"ReadWriteTries", 1}, {"RetryDelay", 300}});
    StartController();
    Open();
    Key(kBrakeCurrent, Qt::Key_Right);
    ASSERT_TRUE(SetEnabled());
    Sim().SetEeprom(layout::kModelCode, 3);
    Sim().SetFlash(layout::kFieldMap, 0x0107);
    Sim().SetEeprom(layout::kSerialNumber, 0x00);
    // Probe, model code and field map are answered; the serial number not.
    Sim().SetFaults(sim::Faults{.dropEvery = 4});

    Click(kRefresh);

    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    EXPECT_EQ(Text(kModel), "KAV RK-AG");
    EXPECT_EQ(Slider(kOverVoltage)->maximum(), 585);
    EXPECT_EQ(Text(kFieldMap), "7");
    EXPECT_EQ(Text(kSerialNumber), "123456");
    EXPECT_EQ(Slider(kBrakeCurrent)->value(), 81);
    EXPECT_FALSE(SetEnabled());
}

TEST_F(ControlPageTest, setWithPortClosed_doesNothing)
{
    StartController();
    Open();
    Key(kBrakeCurrent, Qt::Key_Right);
    frame->Controller().Port().Close();
    Sim().ClearTranscript();

    Click(kSet);

    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_TRUE(SetEnabled());
    EXPECT_TRUE(Sim().Transcript().empty());
}

TEST_F(ControlPageTest, noControllerAtStart_keepsInitialTexts_onlyRefreshSearchesAgain)
{
    NoController absent;
    Open();

    EXPECT_EQ(boxes.Texts(), QStringList{"Cannot locate Motor controller"});
    EXPECT_EQ(Text(kModel), "UNKNOWN");
    EXPECT_EQ(Text(kSerialNumber), "");
    EXPECT_EQ(Text(kFieldMap), "");
    const std::map<int, QString> initial{
        {kMaxCurrent, "0"},   {kUnderVoltage, "16.0"}, {kOverVoltage, "30.0"}, {1037, "0"},
        {kThrottleDown, "0"}, {kBrakeCurrent, "0"},    {kTopSpeed, "50.0"}};
    // Nothing read: every control that would show a reading is greyed, and
    // neither Set nor Defaults can invent values.
    for (const auto& [id, text] : initial) {
        EXPECT_EQ(Value(id), text) << id;
        EXPECT_FALSE(Slider(id)->isEnabled()) << id;
    }
    for (int id : {kHighPedalDisable, kPlugBrake, kTurbo, kHalfSpeedReverse})
        EXPECT_FALSE(Box(id)->isEnabled()) << id;
    EXPECT_FALSE(SetEnabled());
    EXPECT_FALSE(Button(kDefaults)->isEnabled());
    EXPECT_TRUE(Button(kRefresh)->isEnabled());

    frame->Sheet().setCurrentIndex(1);
    frame->Sheet().setCurrentIndex(0);
    EXPECT_EQ(boxes.requests.size(), 2u); // the Throttle page's own first search

    Click(kRefresh);
    EXPECT_EQ(boxes.requests.size(), 3u);

    // A controller plugged in since: the Refresh that reads it enables them.
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    Click(kRefresh);
    EXPECT_EQ(boxes.requests.size(), 3u);
    for (const auto& [id, text] : initial)
        EXPECT_TRUE(Slider(id)->isEnabled()) << id;
    EXPECT_TRUE(Box(kTurbo)->isEnabled());
    EXPECT_TRUE(Button(kDefaults)->isEnabled());
    EXPECT_FALSE(SetEnabled()); // nothing differs yet
}

// Each settings row reads label, value, unit, slider from left to right: with
// a platform font wider than the one the rows were drawn for, no text may be
// cut or run into the next one.
TEST_F(ControlPageTest, settingRows_labelValueUnitAndSlider_neitherClippedNorTouching)
{
    NoController absent;
    Open();
    const DialogUnits units(page->font());
    const int gap = units.X(3);
    const std::map<int, std::pair<QString, QString>> rows{
        {kMaxCurrent, {"Max Output Current", "%"}},
        {kUnderVoltage, {"Under Voltage", "Volts"}},
        {kOverVoltage, {"Over Voltage", "Volts"}},
        {1037, {"Throttle Up Rate", ""}},
        {kThrottleDown, {"Throttle Down Rate", ""}},
        {kBrakeCurrent, {"Brake Current", "%"}},
        {kTopSpeed, {"Top Speed", "%"}}};
    const QList<QLabel*> labels = page->findChildren<QLabel*>();
    const auto labelAt = [&](const QString& text, int y) -> QLabel* {
        for (QLabel* label : labels) {
            if (label->text() == text && label->geometry().top() == y)
                return label;
        }
        return nullptr;
    };
    for (const auto& [id, texts] : rows) {
        SCOPED_TRACE(texts.first.toStdString());
        QLabel* value = FindControl<QLabel>(page, ValueId(id));
        value->setText(id == kTopSpeed ? "100.0" : "100");
        QLabel* name = labelAt(texts.first, value->geometry().top());
        ASSERT_NE(name, nullptr);
        EXPECT_GE(name->width(), name->sizeHint().width());
        EXPECT_GE(value->width(), value->sizeHint().width());
        EXPECT_LE(name->geometry().right() + gap, value->geometry().left());
        int right = value->geometry().right();
        if (!texts.second.isEmpty()) {
            QLabel* unit = labelAt(texts.second, value->geometry().top());
            ASSERT_NE(unit, nullptr);
            EXPECT_GE(unit->width(), unit->sizeHint().width());
            EXPECT_LE(right + gap, unit->geometry().left());
            right = unit->geometry().right();
        }
        EXPECT_LT(right, Slider(id)->geometry().left());
    }
    // "Slow" and "Fast" at either end of the Top Speed slider.
    QLabel* slow = FindControl<QLabel>(page, 1116);
    QLabel* fast = FindControl<QLabel>(page, 1117);
    EXPECT_EQ(slow->text(), "Slow");
    EXPECT_EQ(fast->text(), "Fast");
    EXPECT_GE(slow->width(), slow->sizeHint().width());
    EXPECT_GE(fast->width(), fast->sizeHint().width());
    EXPECT_LT(slow->geometry().right(), Slider(kTopSpeed)->geometry().left());
    EXPECT_GT(fast->geometry().left(), Slider(kTopSpeed)->geometry().right());
}

// A technician without a mouse: Tab walks the switches, the buttons, then the
// sliders from top to bottom, and the buttons' mnemonics press them.
TEST_F(ControlPageTest, keyboard_tabOrderFollowsThePage_andMnemonicsPressTheButtons)
{
    StartController();
    Open();
    frame->show();
    frame->activateWindow();
    Box(kHighPedalDisable)->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == Box(kHighPedalDisable); }));

    QList<int> order;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName().toInt());
    }
    // Set is disabled after the refresh and is passed over.
    EXPECT_EQ(order, (QList<int>{kPlugBrake, kTurbo, kHalfSpeedReverse, kDefaults, kRefresh,
                                 kMaxCurrent, kUnderVoltage, kOverVoltage, 1037, kThrottleDown,
                                 kBrakeCurrent, kTopSpeed}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return Slider(kMaxCurrent)->value() == 100; }));
    ASSERT_TRUE(SetEnabled());
    Sim().ClearTranscript();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return !SetEnabled(); }));
    EXPECT_EQ(Sim().Eeprom(layout::kMaxCurrent), 100);
    Sim().ClearTranscript();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return Sim().Transcript().size() == 17; }));
    EXPECT_EQ(Sim().Transcript().back(), ReadE(23));
    EXPECT_TRUE(boxes.requests.empty());
}

// "UNKNOWN UNKNOWN" in capitals is wider than its place with common fonts:
// it is shown whole, over two lines if need be, and the rows below give way
// while it does, inside the Controller group.
TEST_F(ControlPageTest, fallbackModelName_shownWhole_rowsBelowMakeRoom)
{
    StartController(60);
    Open();
    const DialogUnits units(page->font());
    QLabel* model = FindControl<QLabel>(page, kModel);
    QLabel* serial = FindControl<QLabel>(page, kSerialNumber);
    QLabel* fieldMap = FindControl<QLabel>(page, kFieldMap);
    ASSERT_EQ(model->text(), "UNKNOWN UNKNOWN");

    const QRect needed = model->fontMetrics().boundingRect(QRect(0, 0, model->width(), 10000),
                                                           Qt::TextWordWrap, model->text());
    EXPECT_LE(needed.width(), model->width());
    EXPECT_LE(needed.height(), model->height());
    EXPECT_LT(model->geometry().bottom(), serial->geometry().top());
    EXPECT_LT(serial->geometry().bottom(), fieldMap->geometry().top());
    EXPECT_LE(model->geometry().right(), units.X(7 + 130));
    EXPECT_LE(fieldMap->geometry().bottom(), units.Y(7 + 78));

    Sim().SetEeprom(layout::kModelCode, 0);
    Click(kRefresh);
    EXPECT_EQ(model->text(), "KAV RK-AA");
    EXPECT_EQ(serial->y(), units.Y(37));
    EXPECT_EQ(fieldMap->y(), units.Y(53));
}

} // namespace
} // namespace kestrum::test
