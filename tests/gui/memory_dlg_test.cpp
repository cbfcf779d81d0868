// The Memory Viewer against the simulated controller on a real
// pseudo-terminal: opening from the main window, reads, writes, rejected
// fields and the address fields' check as the focus leaves them.
#include "app/command_ids.h"
#include "gui_test_support.h"
#include "tests/support/fast_link.h"
#include "tools/gui/memory_dlg.h"
#include "ui/control_id.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace kestrum::test {
namespace {

QString Text(const QWidget& dlg, int id)
{
    if (auto* edit = FindControl<QLineEdit>(&dlg, id))
        return edit->text();
    if (auto* label = FindControl<QLabel>(&dlg, id))
        return label->text();
    return FindControl<QAbstractButton>(&dlg, id)->text();
}

void SetFields(const QWidget& dlg, const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i)
        FindControl<QLineEdit>(&dlg, 1020 + i)->setText(texts[i]);
}

void Click(const QWidget& dlg, int id)
{
    FindControl<QAbstractButton>(&dlg, id)->click();
}

// Runs `open`; if it shows a memory viewer, `inspect` sees it before it is
// closed. True when a viewer was shown.
bool WhileViewerShown(const std::function<void()>& open,
                      const std::function<void(CMemoryDlg&)>& inspect)
{
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<CMemoryDlg*>(QApplication::activeModalWidget())) {
            shown = true;
            inspect(*dlg);
            dlg->reject();
        }
    });
    timer.start(0);
    open();
    EXPECT_TRUE(WaitUntil([&] { return !timer.isActive(); }));
    return shown;
}

TEST(MemoryViewerOpening, eachCommandShowsItsOperation_onlyWhileThePortIsOpen)
{
    TempSettings settings;
    settings.SetFastTimings();
    MessageBoxRecorder boxes;
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    ASSERT_TRUE(frame.Controller().IsPortOpen());

    using namespace command;
    const struct
    {
        int command, radio;
        QStringList texts;          // 1066, 1069, 1070, 1071
        std::vector<bool> editable; // 1021, 1022, 1023
        std::vector<bool> results;  // of those, where a read shows what it read
    } rows[] = {
        {kReadFlash,
         1060,
         {"&Read", "Address High", "Data Low", "Data High"},
         {1, 0, 0},
         {0, 1, 1}},
        {kReadEeprom, 1062, {"&Read", "", "Data Low", ""}, {0, 0, 0}, {0, 1, 0}},
        {kReadRam, 1064, {"&Read", "Data 1", "Data 2", "Data 3"}, {0, 0, 0}, {1, 1, 1}},
        {kWriteFlash,
         1072,
         {"&Write", "Address High", "Data Low", "Data High"},
         {1, 1, 1},
         {0, 0, 0}},
        {kWriteEeprom, 1073, {"&Write", "", "Data Low", ""}, {0, 1, 0}, {0, 0, 0}},
        {kWriteRam, 1074, {"&Write", "", "Data Low", ""}, {0, 1, 0}, {0, 0, 0}},
    };
    for (const auto& row : rows) {
        const bool shown = WhileViewerShown(
            [&] { frame.Command(row.command)->trigger(); },
            [&](CMemoryDlg& dlg) {
                EXPECT_EQ(dlg.windowTitle(), "Memory Viewer");
                for (int radio : {1060, 1062, 1064, 1072, 1073, 1074})
                    EXPECT_EQ(FindControl<QRadioButton>(&dlg, radio)->isChecked(),
                              radio == row.radio);
                EXPECT_EQ((QStringList{Text(dlg, 1066), Text(dlg, 1069), Text(dlg, 1070),
                                       Text(dlg, 1071)}),
                          row.texts);
                EXPECT_TRUE(FindControl<QLineEdit>(&dlg, 1020)->isEnabled());
                // A field that shows a read value is read-only but not greyed.
                for (int i = 0; i < 3; ++i) {
                    const auto* edit = FindControl<QLineEdit>(&dlg, 1021 + i);
                    EXPECT_EQ(edit->isEnabled() && !edit->isReadOnly(), row.editable[i]);
                    EXPECT_EQ(edit->isEnabled() && edit->isReadOnly(), row.results[i]);
                }
                for (int id = 1020; id <= 1023; ++id)
                    EXPECT_EQ(Text(dlg, id), "0x00");
            });
        EXPECT_TRUE(shown) << row.command;
    }

    // The service shortcut opens Read Flash; nothing opens on a closed port.
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    const auto shortcut = [&] {
        QTest::keyClick(&frame, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    };
    EXPECT_TRUE(WhileViewerShown(
        shortcut, [](CMemoryDlg& dlg) { EXPECT_EQ(dlg.Operation(), MemoryOperation::ReadFlash); }));
    frame.Controller().Port().Close();
    EXPECT_FALSE(WhileViewerShown(shortcut, [](CMemoryDlg&) {}));
    EXPECT_FALSE(
        WhileViewerShown([&] { frame.Command(kWriteRam)->trigger(); }, [](CMemoryDlg&) {}));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

class MemoryDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(OpenFastLink(link, sim.PortPath(), 1));
    }
    // The dialog, shown and active so that focus moves as the user's would.
    std::unique_ptr<CMemoryDlg> Open(MemoryOperation operation)
    {
        auto dlg = std::make_unique<CMemoryDlg>(link, operation);
        dlg->show();
        dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        return dlg;
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    MessageBoxRecorder boxes;
};

TEST_F(MemoryDlgTest, reads_showTheControllersValuesInFieldsAndStatus)
{
    sim.SetFlash(0x1234, 0xBEEF);
    sim.SetEeprom(0x7F, 0x2A);
    for (auto [address, value] : {std::pair{0xFE, 0x11}, {0xFF, 0x22}, {0x00, 0x33}})
        sim.SetRam(static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(value));
    const struct
    {
        MemoryOperation operation;
        QStringList fields, after;
        const char* status;
    } rows[] = {
        {MemoryOperation::ReadFlash,
         {"0x34", "18"},
         {"0x34", "0x12", "0xEF", "0xBE"},
         "Flash address 0x1234 (4660) = 0xBEEF (48879)"},
        {MemoryOperation::ReadEeprom,
         {"127"},
         {"0x7F", "0x00", "0x2A", "0x00"},
         "Eeprom address 0x7F (127) = 0x2A (42)"},
        {MemoryOperation::ReadRam,
         {"xfe"},
         {"0xFE", "0x11", "0x22", "0x33"},
         "Ram address 0xFE - 0x100 (254 - 256) = 0x11 0x22 0x33"},
    };
    for (const auto& row : rows) {
        auto dlg = Open(row.operation);
        SetFields(*dlg, row.fields);
        Click(*dlg, 1066);
        EXPECT_EQ(
            (QStringList{Text(*dlg, 1020), Text(*dlg, 1021), Text(*dlg, 1022), Text(*dlg, 1023)}),
            row.after);
        EXPECT_EQ(Text(*dlg, 1058), row.status);
    }
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(MemoryDlgTest, writes_reachTheController)
{
    auto dlg = Open(MemoryOperation::WriteEeprom);
    SetFields(*dlg, {"0x10", "0x00", "200"});
    Click(*dlg, 1066);
    EXPECT_EQ(sim.Eeprom(0x10), 200);
    EXPECT_EQ(Text(*dlg, 1058), "Write succeeded");

    Click(*dlg, 1072); // Write Flash
    SetFields(*dlg, {"0x02", "0x01", "0x34", "0x12"});
    Click(*dlg, 1066);
    EXPECT_EQ(sim.Flash(0x0102), 0x1234);
    EXPECT_EQ(Text(*dlg, 1058), "Write succeeded");
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(MemoryDlgTest, rejectedField_stopsBeforeAnythingGoesOnTheWire)
{
    sim.SetEeprom(0x10, 0x55);
    const struct
    {
        QStringList fields;
        QStringList after;
    } rows[] = {
        {{"0x10", "0x00", "zz"}, {"0x10", "0x00", "0x00"}},
        {{"0x10", "0x00", "256"}, {"0x10", "0x00", "256"}},
        {{"1f", "0x00", "0x20"}, {"0x00", "0x00", "0x20"}}, // stops at Address Low
    };
    for (const auto& row : rows) {
        auto dlg = Open(MemoryOperation::WriteEeprom);
        boxes.requests.clear();
        sim.ClearTranscript();
        SetFields(*dlg, row.fields);
        Click(*dlg, 1066);
        EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"});
        EXPECT_EQ(boxes.requests.front().icon, QMessageBox::Warning);
        EXPECT_EQ((QStringList{Text(*dlg, 1020), Text(*dlg, 1021), Text(*dlg, 1022)}), row.after);
        EXPECT_TRUE(sim.Transcript().empty());
        EXPECT_EQ(sim.Eeprom(0x10), 0x55);
        EXPECT_EQ(Text(*dlg, 1058), "");
        // The "0x00" the parse put in place is not the user's: pressing
        // again is refused again, until the field is typed in.
        boxes.requests.clear();
        Click(*dlg, 1066);
        EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"});
        EXPECT_TRUE(sim.Transcript().empty());
        EXPECT_EQ(sim.Eeprom(0x10), 0x55);
    }
}

TEST_F(MemoryDlgTest, addressClearedByARefusal_isNotUsedUntilTypedAgain)
{
    sim.SetEeprom(0x00, 0x55);
    sim.SetEeprom(0x10, 0x55);
    auto dlg = Open(MemoryOperation::WriteEeprom);
    auto* low = FindControl<QLineEdit>(dlg.get(), 1020);
    auto* data = FindControl<QLineEdit>(dlg.get(), 1022);
    data->setText("0x42");
    low->setFocus();
    low->setText("1f");
    data->setFocus(); // refused as it is left: "0x00", focus back
    ASSERT_EQ(low->text(), "0x00");
    sim.ClearTranscript();
    Click(*dlg, 1066); // a click that went through after the box
    EXPECT_TRUE(sim.Transcript().empty());
    EXPECT_EQ(sim.Eeprom(0x00), 0x55);

    low->selectAll();
    QTest::keyClicks(low, "16");
    boxes.requests.clear();
    Click(*dlg, 1066);
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_EQ(sim.Eeprom(0x10), 0x42);
    EXPECT_EQ(Text(*dlg, 1058), "Write succeeded");
}

TEST_F(MemoryDlgTest, switchingReadFlashToWriteFlash_clearsDataKeepsAddresses)
{
    sim.SetFlash(0x0305, 0xA5C3);
    auto dlg = Open(MemoryOperation::ReadFlash);
    SetFields(*dlg, {"5", "3"});
    Click(*dlg, 1066);
    ASSERT_EQ(Text(*dlg, 1022), "0xC3");
    Click(*dlg, 1072);
    EXPECT_EQ((QStringList{Text(*dlg, 1020), Text(*dlg, 1021), Text(*dlg, 1022), Text(*dlg, 1023),
                           Text(*dlg, 1066)}),
              (QStringList{"0x05", "0x03", "0x00", "0x00", "&Write"}));
}

TEST_F(MemoryDlgTest, addressFieldLosingFocus_isCheckedOnce)
{
    auto dlg = Open(MemoryOperation::WriteFlash);
    auto* low = FindControl<QLineEdit>(dlg.get(), 1020);
    auto* high = FindControl<QLineEdit>(dlg.get(), 1021);

    low->setFocus();
    low->setText("x1f");
    high->setFocus();
    EXPECT_EQ(low->text(), "0x1F");
    EXPECT_TRUE(boxes.Texts().isEmpty());

    low->setFocus();
    low->setText("1f");
    high->setFocus();
    EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"});
    EXPECT_EQ(low->text(), "0x00");
    EXPECT_TRUE(low->hasFocus());

    // Both fields refused and unchanged by the parse: putting the focus back
    // leaves the other field, which must not answer with a box of its own.
    boxes.requests.clear();
    high->setText("256");
    low->setText("256");
    high->setFocus();
    EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"});
    EXPECT_TRUE(low->hasFocus());
    EXPECT_EQ(high->text(), "256");
}

TEST_F(MemoryDlgTest, silentController_reportsAndKeepsTheStatus)
{
    sim.SetEeprom(0x05, 0x07);
    auto dlg = Open(MemoryOperation::ReadEeprom);
    SetFields(*dlg, {"5"});
    Click(*dlg, 1066);
    const QString before = Text(*dlg, 1058);
    ASSERT_EQ(before, "Eeprom address 0x05 (5) = 0x07 (7)");

    sim.SetFaults(sim::Faults{.silent = true});
    for (int radio : {1062, 1064, 1074}) { // Read Eeprom, Read Ram, Write Ram
        boxes.requests.clear();
        Click(*dlg, radio);
        Click(*dlg, 1066);
        EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"}) << radio;
        EXPECT_EQ(Text(*dlg, 1058), before) << radio;
    }
}

// The controller decodes 15 FLASH address bits and keeps 14 bits a word: a
// larger address or word would land elsewhere or lose bits, so it is refused
// as any number the field cannot take, and nothing goes on the wire.
TEST_F(MemoryDlgTest, flashAddressPastTheEndOrWordWiderThan14Bits_isRefusedAndNothingSent)
{
    sim.SetFlash(0x0000, 0x0155);
    const struct
    {
        MemoryOperation operation;
        QStringList fields;
        int focused; // where the user is sent back to
    } rows[] = {
        {MemoryOperation::WriteFlash, {"0x00", "0x80", "0x34", "0x12"}, 1021},
        {MemoryOperation::WriteFlash, {"0x02", "0xFF", "0x34", "0x12"}, 1021},
        {MemoryOperation::WriteFlash, {"0x00", "0x00", "0x00", "0x40"}, 1023},
        {MemoryOperation::ReadFlash, {"0x02", "0x80"}, 1021},
    };
    for (const auto& row : rows) {
        auto dlg = Open(row.operation);
        SetFields(*dlg, row.fields);
        boxes.requests.clear();
        sim.ClearTranscript();
        Click(*dlg, 1066);
        EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"})
            << row.fields.join(' ').toStdString();
        EXPECT_TRUE(sim.Transcript().empty()) << row.fields.join(' ').toStdString();
        EXPECT_EQ(Text(*dlg, 1058), "");
        EXPECT_TRUE(FindControl<QLineEdit>(dlg.get(), row.focused)->hasFocus());
        EXPECT_EQ(Text(*dlg, row.focused), row.fields[row.focused - 1020]);
    }
    EXPECT_EQ(sim.Flash(0x0000), 0x0155);

    // The last word and the widest value are taken.
    auto dlg = Open(MemoryOperation::WriteFlash);
    SetFields(*dlg, {"0xFF", "0x7F", "0xFF", "0x3F"});
    boxes.requests.clear();
    Click(*dlg, 1066);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(sim.Flash(0x7FFF), 0x3FFF);
    EXPECT_EQ(Text(*dlg, 1058), "Write succeeded");
}

TEST_F(MemoryDlgTest, addressHighPastTheEndOfFlash_isRefusedAsTheFocusLeavesIt)
{
    auto dlg = Open(MemoryOperation::ReadFlash);
    auto* high = FindControl<QLineEdit>(dlg.get(), 1021);
    auto* low = FindControl<QLineEdit>(dlg.get(), 1020);
    high->setFocus();
    high->setText("0x80");
    low->setFocus();
    EXPECT_EQ(boxes.Texts(), QStringList{"Invalid number"});
    EXPECT_TRUE(high->hasFocus());
    EXPECT_EQ(high->text(), "0x80");

    boxes.requests.clear();
    high->setText("127");
    low->setFocus();
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(high->text(), "0x7F");
}

// Every text a label or radio button can show fits the room it is given with
// the platform's font, whichever operation is chosen.
TEST_F(MemoryDlgTest, labelsAndRadioTexts_fitTheirWidth)
{
    for (MemoryOperation operation :
         {MemoryOperation::ReadFlash, MemoryOperation::ReadEeprom, MemoryOperation::ReadRam,
          MemoryOperation::WriteFlash, MemoryOperation::WriteEeprom, MemoryOperation::WriteRam}) {
        auto dlg = Open(operation);
        for (int id = 1068; id <= 1071; ++id) {
            const auto* label = FindControl<QLabel>(dlg.get(), id);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << id << " " << label->text().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height()) << id;
            // Left of its edit, not under it.
            EXPECT_LE(label->geometry().right(), FindControl<QLineEdit>(dlg.get(), 1020)->x());
        }
        for (int id : {1060, 1062, 1064, 1072, 1073, 1074}) {
            const auto* radio = FindControl<QRadioButton>(dlg.get(), id);
            EXPECT_LE(radio->sizeHint().width(), radio->width()) << id;
            EXPECT_LE(radio->geometry().right(), FindControl<QLabel>(dlg.get(), 1068)->x()) << id;
        }
        const auto* button = FindControl<QPushButton>(dlg.get(), 1066);
        EXPECT_LE(button->geometry().right(), dlg->width());
    }
}

TEST_F(MemoryDlgTest, resetSendsTheResetRequest_exitCloses)
{
    auto dlg = Open(MemoryOperation::ReadRam);
    sim.ClearTranscript();
    Click(*dlg, 1115);
    ASSERT_TRUE(sim.WaitForRequests(1, std::chrono::seconds(2)));
    EXPECT_EQ(sim.Transcript().front()[1], static_cast<std::uint8_t>(Command::Reset));
    EXPECT_EQ(Text(*dlg, 1115), "Re&set");
    Click(*dlg, 2);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

} // namespace
} // namespace kestrum::test
