// Profiles in the window against the simulated controller: the history kept
// before a Set, a save and a load back after the controller was changed, a
// damaged file, and the history window.
#include "app/prop_sheet.h"
#include "gui_test_support.h"
#include "profiles/gui/history_dlg.h"
#include "profiles/gui/profile_commands.h"
#include "profiles/profile_file.h"
#include "sim/memory_image.h"
#include "throttle/throttle_tables.h"
#include "tools/gui/progress_dlg.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>

namespace kestrum::test {
namespace {

namespace layout = sim::layout;

constexpr int kMaxCurrent = 1031;
constexpr int kSet = 1043;

class ProfileCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Started());
        settings.SetFastTimings();
        settings.Set({{"WriteDelay", 1}});
        frame = std::make_unique<CMainFrame>(App());
    }

    QTemporaryDir data;
    ScopedEnv dataHome{"XDG_DATA_HOME", data.path().toStdString()};
    SimulatorOnPort sim{sim::Options{.pacing = false, .liveGauges = false}};
    TempSettings settings;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(ProfileCommandsTest, setKeepsWhatThePageReadInTheHistory_withoutARequestOnTheWire)
{
    QWidget* page = frame->Sheet().Page(0);
    FindControl<QSlider>(page, kMaxCurrent)->setValue(50);
    sim->ClearTranscript();

    FindControl<QPushButton>(page, kSet)->click();

    // Only who answers is read before the write; keeping the history sends nothing.
    EXPECT_EQ(sim->Transcript(),
              (std::vector<Packet>{
                  MakeRequest(Command::ReadEeprom, 127), MakeRequest(Command::ReadEeprom, 48),
                  MakeRequest(Command::ReadEeprom, 49), MakeRequest(Command::ReadEeprom, 50),
                  MakeRequest(Command::WriteEeprom, layout::kMaxCurrent, 0, 50, 0),
                  MakeRequest(Command::ReadEeprom, layout::kMaxCurrent)}));
    const auto kept = frame->Profiles().History().Entries("228138");
    ASSERT_EQ(kept.size(), 1u);
    const ProfileRead read = ReadProfile(kept[0].path.string());
    ASSERT_TRUE(read.profile && read.profile->panel) << read.error;
    EXPECT_EQ(read.profile->panel->stored[0], 90); // before the write
    EXPECT_FALSE(read.profile->throttle);          // that page never read
}

TEST_F(ProfileCommandsTest, profileSavedThenLoadedAfterChanges_putsTheControllerBack)
{
    sim.SetThrottleTable(kLinearTable);
    const QString path = data.filePath(QStringLiteral("cart.json"));
    frame->Profiles().SaveProfileTo(path);
    ASSERT_EQ(frame->StatusLine().ResultText(), QStringLiteral("Profile saved"));

    sim->SetEeprom(layout::kMaxCurrent, 70);
    sim->SetEeprom(layout::kTopSpeed, 20);
    sim->SetEeprom(layout::kSwitches, 0x03);
    sim.SetThrottleTable(kSCurveTable);
    MessageBoxRecorder boxes(QMessageBox::Yes);
    frame->Profiles().LoadProfileFrom(path);

    ASSERT_EQ(boxes.requests.size(), 1u) << boxes.Texts().join("|").toStdString();
    const QString question = boxes.requests[0].text;
    for (const char* line : {"Max Output Current: 70 -> 90 %", "Top Speed: 90.0 -> 100.0 %",
                             "High Pedal Disable: on -> off", "Throttle curve: S-Curve -> Linear"})
        EXPECT_TRUE(question.contains(QString::fromLatin1(line))) << question.toStdString();
    EXPECT_EQ(sim->Eeprom(layout::kMaxCurrent), 90);
    EXPECT_EQ(sim->Eeprom(layout::kTopSpeed), 0);
    EXPECT_EQ(sim->Eeprom(layout::kSwitches), 0x02);
    EXPECT_EQ(sim->Flash(static_cast<std::uint16_t>((sim->Eeprom(0) | sim->Eeprom(1) << 8) + 100)),
              0x3400 + kLinearTable[100]);
    EXPECT_EQ(frame->StatusLine().ResultText(), QStringLiteral("Profile loaded and verified"));
    EXPECT_EQ(FindControl<QLabel>(frame->Sheet().Page(0), 1032)->text(), QStringLiteral("90"));
    // The load itself kept what the controller held before it.
    EXPECT_EQ(frame->Profiles().History().Entries("228138").size(), 1u);
}

TEST_F(ProfileCommandsTest, fileThatIsNoUsableProfile_isRefusedAndNothingIsWritten)
{
    const QString damaged = data.filePath(QStringLiteral("damaged.json"));
    std::ofstream(damaged.toStdString()) << "{\"format\": \"Quorvel Kestrum controller pro";
    const QString missing = data.filePath(QStringLiteral("absent.json"));
    sim->ClearTranscript();
    MessageBoxRecorder boxes(QMessageBox::Yes);

    frame->Profiles().LoadProfileFrom(damaged);
    frame->Profiles().LoadProfileFrom(missing);

    EXPECT_EQ(boxes.Texts(),
              (QStringList{damaged + QStringLiteral(" cannot be used as a controller profile.\n\n"
                                                    "The file is not a controller profile: it is "
                                                    "not complete JSON text."),
                           missing + QStringLiteral(" was not found.")}));
    EXPECT_TRUE(sim->Transcript().empty());
}

TEST_F(ProfileCommandsTest, profileOfAnotherModel_isLoadedOnlyWhenConfirmed)
{
    const QString path = data.filePath(QStringLiteral("other model.json"));
    frame->Profiles().SaveProfileTo(path);
    // The same setup, as if taken from a model whose over-voltage ends at 60 V.
    const ProfileRead saved = ReadProfile(path.toStdString());
    ASSERT_TRUE(saved.profile);
    ControllerProfile other = *saved.profile;
    other.modelCode = 3;
    other.panel->stored[0] = 50;
    sim->SetEeprom(layout::kModelCode, 0);
    ASSERT_FALSE(SaveProfile(path.toStdString(), other));
    sim->ClearTranscript();

    MessageBoxRecorder refuse(QMessageBox::No);
    frame->Profiles().LoadProfileFrom(path);

    ASSERT_EQ(refuse.requests.size(), 1u);
    const QString warning = refuse.requests[0].text;
    EXPECT_TRUE(warning.startsWith(QStringLiteral("This profile was taken from a KAV RK-AG "
                                                  "controller; this controller is a KAV RK-AA.")))
        << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("outside this model's ranges")));
    EXPECT_EQ(refuse.requests[0].defaultButton, QMessageBox::No); // Enter must not write
    EXPECT_TRUE(warning.contains(QStringLiteral("\n    Over Voltage: 60.0 -> 60.1 Volts\n")))
        << warning.toStdString();
    for (const Packet& packet : sim->Transcript())
        EXPECT_NE(static_cast<Command>(packet[1]), Command::WriteEeprom);
}

TEST_F(ProfileCommandsTest, historyWindow_listsNewestFirst_andComparesWithTheController)
{
    frame->Profiles().KeepHistory();
    frame->Profiles().KeepHistory();
    sim->SetEeprom(layout::kMaxCurrent, 70);

    CHistoryDlg dialog(frame->Profiles(), frame.get());
    auto* controllers = dialog.findChild<QListWidget*>(QStringLiteral("controllers"));
    auto* entries = dialog.findChild<QListWidget*>(QStringLiteral("entries"));
    ASSERT_EQ(controllers->count(), 1);
    EXPECT_EQ(controllers->item(0)->text(), QStringLiteral("228138"));
    ASSERT_EQ(entries->count(), 2);
    EXPECT_TRUE(entries->item(0)->text().endsWith(QStringLiteral(" (2)")));
    auto* details = dialog.findChild<QPlainTextEdit*>(QStringLiteral("details"));
    EXPECT_TRUE(details->toPlainText().contains(QStringLiteral("Max Output Current: 90 %")));

    MessageBoxRecorder boxes;
    dialog.findChild<QPushButton*>(QStringLiteral("compare"))->click();

    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_EQ(details->toPlainText(),
              QStringLiteral("Loading this profile would change:\nMax Output Current: 70 -> 90 %"));
}

// Presses Cancel in the progress window once the run has reached `entries`
// table entries (the window pumps events between steps).
class CancelProgressAt
{
public:
    explicit CancelProgressAt(int entries)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, entries] {
            for (QWidget* widget : QApplication::allWidgets()) {
                auto* progress = qobject_cast<CProgressDlg*>(widget);
                auto* bar = progress ? progress->findChild<QProgressBar*>() : nullptr;
                if (bar && bar->value() >= entries) {
                    progress->findChild<QPushButton*>()->click();
                    timer.stop();
                    return;
                }
            }
        });
        timer.start(0);
    }

private:
    QTimer timer;
};

TEST_F(ProfileCommandsTest, tableReadCancelled_pageSaysSo_andSaveReadsTheWholeTableAgain)
{
    sim.SetThrottleTable(kSCurveTable);
    frame->Sheet().setCurrentIndex(1);
    QWidget* page = frame->Sheet().Page(1);
    {
        CancelProgressAt cancel(80);
        FindControl<QPushButton>(page, 1044)->click();
    }
    auto* notice = page->findChild<QLabel*>(QStringLiteral("tableNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isHidden());
    EXPECT_TRUE(notice->text().startsWith(QStringLiteral("Table read cancelled at entry 80")))
        << notice->text().toStdString();
    // The history leaves the half-read table out.
    frame->Profiles().KeepHistory("Set");
    const auto kept = frame->Profiles().History().Entries("228138");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].keptBefore, "Set");
    const ProfileRead keptRead = ReadProfile(kept[0].path.string());
    ASSERT_TRUE(keptRead.profile) << keptRead.error;
    EXPECT_FALSE(keptRead.profile->throttle);

    const QString path = data.filePath(QStringLiteral("cart.json"));
    frame->Profiles().SaveProfileTo(path);

    const ProfileRead saved = ReadProfile(path.toStdString());
    ASSERT_TRUE(saved.profile && saved.profile->throttle) << saved.error;
    EXPECT_EQ(saved.profile->throttle->table, kSCurveTable);
    EXPECT_TRUE(notice->isHidden());
}

TEST_F(ProfileCommandsTest, historyWindow_namesTheOccasion_listsALoadAtOnce_andShowsProgressOnTop)
{
    frame->Profiles().KeepHistory("Throttle Set");
    sim->SetEeprom(layout::kMaxCurrent, 70);

    CHistoryDlg dialog(frame->Profiles(), frame.get());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    auto* entries = dialog.findChild<QListWidget*>(QStringLiteral("entries"));
    ASSERT_EQ(entries->count(), 1);
    EXPECT_TRUE(entries->item(0)->text().endsWith(QStringLiteral(", before Throttle Set")));

    // Compare reads the table behind a progress window above the history.
    bool progressOnTop = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (dialog.findChild<CProgressDlg*>() != nullptr)
            progressOnTop = true;
    });
    watch.start(0);
    MessageBoxRecorder boxes(QMessageBox::Yes);
    dialog.findChild<QPushButton*>(QStringLiteral("compare"))->click();
    watch.stop();
    EXPECT_TRUE(progressOnTop);

    dialog.findChild<QPushButton*>(QStringLiteral("load"))->click();
    EXPECT_EQ(sim->Eeprom(layout::kMaxCurrent), 90);
    ASSERT_EQ(entries->count(), 2);
    EXPECT_TRUE(entries->item(0)->text().endsWith(QStringLiteral(", before Profile load")));
}

} // namespace
} // namespace kestrum::test
