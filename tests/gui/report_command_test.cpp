// Tools > Service Report... in the window against the simulated controller:
// today's Set in the report, a controller swapped since the pages read, the
// names asked for once, and a silent controller.
#include "app/command_ids.h"
#include "gui_test_support.h"
#include "monitor/gui/monitor_page.h"
#include "profiles/gui/report_command.h"
#include "profiles/gui/report_names_dlg.h"
#include "sim/memory_image.h"
#include "support/pdf_text.h"
#include "throttle/throttle_tables.h"
#include "tools/pdf/report_names.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <regex>

namespace kestrum::test {
namespace {

namespace layout = sim::layout;

constexpr int kMaxCurrent = 1031;
constexpr int kSet = 1043;
constexpr int kSerialNumberLabel = 1083;
constexpr int kContinuous = 1088;

class ReportCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PdfToolsPresent())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
        ASSERT_TRUE(sim.Started());
        settings.SetFastTimings();
        settings.Set({{"WriteDelay", 1}});
        SaveReportNames({QStringLiteral("Ada Tester"), QStringLiteral("North Bay Carts")});
        frame = std::make_unique<CMainFrame>(App());
        report = frame->findChild<CReportCommand*>();
        ASSERT_NE(report, nullptr);
    }

    // The report's text, after checking it was written on one or two pages.
    std::string Report()
    {
        const QString path = data.filePath(QStringLiteral("report.pdf"));
        EXPECT_TRUE(report->ReportToFile(path)) << boxes.Texts().join("|").toStdString();
        EXPECT_EQ(frame->StatusLine().ResultText(), QStringLiteral("Service report saved"));
        const auto pages = PdfPages(path.toStdString());
        EXPECT_TRUE(pages && *pages >= 1 && *pages <= 2);
        return PdfText(path.toStdString());
    }

    // Polls every gauge for a few cycles, then stops.
    void Poll()
    {
        auto* monitor = frame->findChild<CMonitorPage*>();
        ASSERT_NE(monitor, nullptr);
        monitor->OnSelectAll();
        FindControl<QRadioButton>(monitor, kContinuous)->click();
        monitor->OnStartStop();
        ASSERT_TRUE(WaitUntil([&] { return monitor->PlotHistory().Samples().size() >= 3; }));
        monitor->StopAndClose();
    }

    QTemporaryDir data;
    ScopedEnv dataHome{"XDG_DATA_HOME", data.path().toStdString()};
    SimulatorOnPort sim{sim::Options{.pacing = false, .liveGauges = false}};
    TempSettings settings;
    MessageBoxRecorder boxes;
    std::unique_ptr<CMainFrame> frame;
    CReportCommand* report = nullptr;
};

TEST_F(ReportCommandTest, setMadeToday_appearsUnderTodaysChanges_withTheNamesAndTheSerialNumber)
{
    QWidget* page = frame->Sheet().Page(0);
    FindControl<QSlider>(page, kMaxCurrent)->setValue(50);
    FindControl<QPushButton>(page, kSet)->click();
    ASSERT_EQ(sim->Eeprom(layout::kMaxCurrent), 50);

    const std::string text = Report();

    EXPECT_NE(text.find("228138"), std::string::npos) << text;
    EXPECT_NE(text.find("Ada Tester"), std::string::npos) << text;
    EXPECT_NE(text.find("North Bay Carts"), std::string::npos) << text;
    const auto today = text.find("Changes Today");
    ASSERT_NE(today, std::string::npos) << text;
    EXPECT_NE(text.find("Set", today), std::string::npos) << text;
    EXPECT_NE(text.find("Max Output Current: 90 -> 50 %", today), std::string::npos) << text;
    EXPECT_TRUE(boxes.requests.empty()) << boxes.Texts().join("|").toStdString();
}

TEST_F(ReportCommandTest, monitorReadingsOfThisController_areSummarised)
{
    sim->SetRam(layout::kVoltage, 0xE8); // 0x03E8 counts
    sim->SetRam(layout::kVoltage + 1, 0x03);
    Poll();

    const std::string text = Report();

    EXPECT_NE(text.find("polling cycles"), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("Battery Voltage +([0-9.]+) +\\1 +\\1 +Volts")))
        << text;
}

TEST_F(ReportCommandTest, controllerSwappedSinceThePagesRead_reportShowsOnlyTheNewController)
{
    sim.SetThrottleTable(kLinearTable);
    ASSERT_NE(Report().find("Linear"), std::string::npos);
    Poll();
    // Another cart on the same port, with other values everywhere.
    sim->SetEeprom(layout::kSerialNumber, 0x56);
    sim->SetEeprom(layout::kSerialNumber + 1, 0x34);
    sim->SetEeprom(layout::kSerialNumber + 2, 0x12);
    sim->SetEeprom(layout::kMaxCurrent, 33);
    sim.SetThrottleTable(kSCurveTable);

    const std::string text = Report();

    EXPECT_NE(text.find("1193046"), std::string::npos) << text;
    EXPECT_EQ(text.find("228138"), std::string::npos) << text;
    EXPECT_NE(text.find("33 %"), std::string::npos) << text;
    EXPECT_NE(text.find("Throttle curve: S-Curve"), std::string::npos) << text;
    EXPECT_EQ(text.find("Linear"), std::string::npos) << text;
    // The Monitor's readings were taken before the swap.
    EXPECT_EQ(text.find("polling cycles"), std::string::npos) << text;
    // The pages read the new controller, and show it.
    EXPECT_EQ(FindControl<QLabel>(frame->Sheet().Page(0), kSerialNumberLabel)->text(),
              QStringLiteral("1193046"));
}

TEST_F(ReportCommandTest, controllerFallingSilent_isReported_andNoFileIsWritten)
{
    sim::Faults faults;
    faults.silentFrom = 2; // the probe finds it, then nothing more is answered
    sim->SetFaults(faults);
    const QString path = data.filePath(QStringLiteral("silent.pdf"));

    EXPECT_FALSE(report->ReportToFile(path));

    EXPECT_TRUE(boxes.Texts().contains(QStringLiteral("Motor controller is not responding")))
        << boxes.Texts().join("|").toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ReportCommandTest, menuCommand_offersANameWithTheSerialNumber_andWritesWhereTheUserSaid)
{
    const QString path = data.filePath(QStringLiteral("chosen.pdf"));
    QString offered;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own is protected
        }
    });
    answer.start(10);

    frame->Command(command::kServiceReport)->trigger();

    EXPECT_TRUE(offered.startsWith(QStringLiteral("Service Report 228138 ")))
        << offered.toStdString();
    EXPECT_TRUE(offered.endsWith(QStringLiteral(".pdf"))) << offered.toStdString();
    EXPECT_NE(PdfText(path.toStdString()).find("228138"), std::string::npos);
}

TEST(ReportNamesTest, firstReport_asksForTheNamesOnce_andKeepsThemInTheStore)
{
    SimulatorOnPort sim{sim::Options{.pacing = false, .liveGauges = false}};
    ASSERT_TRUE(sim.Started());
    TempSettings settings;
    settings.SetFastTimings();
    CMainFrame frame(App());
    auto* report = frame.findChild<CReportCommand*>();
    ASSERT_NE(report, nullptr);
    int asked = 0;
    // Answers every names dialog that opens while the command runs.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&asked] {
        if (auto* dialog = qobject_cast<CReportNamesDlg*>(QApplication::activeModalWidget())) {
            ++asked;
            dialog->TechnicianEdit()->setText(QStringLiteral("  Ada Tester "));
            dialog->WorkshopEdit()->setText(QStringLiteral("North Bay Carts"));
            dialog->accept();
        }
    });
    answer.start(10);

    ASSERT_TRUE(report->AskNamesOnce());
    ASSERT_TRUE(report->AskNamesOnce());

    EXPECT_EQ(asked, 1);
    const ReportNames names = LoadReportNames();
    EXPECT_EQ(names.technician, QStringLiteral("Ada Tester"));
    EXPECT_EQ(names.workshop, QStringLiteral("North Bay Carts"));
}

} // namespace
} // namespace kestrum::test
