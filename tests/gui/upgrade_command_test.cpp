#include "link/controller.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/fast_link.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/hex_records.h"
#include "tools/error_log_export.h"
#include "tools/gui/error_log_command.h"
#include "tools/gui/upgrade_command.h"

#include <filesystem>
#include <fstream>
#include <sstream>

// The boxes the Upgrade and Write Error Log commands show, against the
// simulated controller on a real pseudo-terminal.
namespace kestrum {
namespace {

class ToolCommandTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 1));
    }
    QString File(const std::string& name, const std::string& text)
    {
        const std::string path = (dir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return QString::fromStdString(path);
    }
    static std::string Read(const QString& path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    test::TempDir dir;
    test::MessageBoxRecorder boxes;
};

TEST_F(ToolCommandTest, upgradeBoxes)
{
    const std::string good = test::DataRecord(0, {1, 0}) + "\n" + test::kEndRecord + "\n";
    const struct
    {
        const char* name;
        std::string file; // empty: the file dialog was cancelled
        std::uint8_t mode;
        bool silent;
        QStringList boxes;
        QString status;   // what the status line is given
        bool historyKept; // the hook before the first packet ran
    } rows[] = {
        {"cancelled", "", 0, false, {"Upgrade failed"}, {}, false},
        {"checksum",
         ":0100000055AB\n" + test::kEndRecord,
         0,
         false,
         {"Upgrade failedERROR - bad checksum '0xaa'"},
         {},
         false},
        {"mode2", good, 2, false, {"Upgrade failedUnknown mode"}, {}, true},
        {"silent",
         good,
         0,
         true,
         {"Motor controller is not responding", "Upgrade failed"},
         {},
         true},
        {"good", good, 0, false, {}, "Firmware written and verified: 1 word", true},
    };
    for (const auto& row : rows) {
        boxes.requests.clear();
        sim.SetRam(0x50, row.mode);
        sim.SetFaults(row.silent ? sim::Faults{.silentFrom = 1} : sim::Faults{});
        sim.ClearTranscript();
        const QString path = row.file.empty() ? QString() : File("f.hex", row.file);
        bool kept = false;
        std::size_t sentWhenKept = 0;
        const QString status = RunUpgradeOnFile(link, path, nullptr, [&] {
            kept = true;
            sentWhenKept = sim.Transcript().size();
        });
        EXPECT_EQ(boxes.Texts(), row.boxes) << row.name;
        EXPECT_EQ(status, row.status) << row.name;
        EXPECT_EQ(kept, row.historyKept) << row.name;
        EXPECT_EQ(sentWhenKept, 0u) << row.name;
        sim.SetFaults({});
    }
    EXPECT_EQ(sim.Flash(0), 1);
    EXPECT_EQ(sim.Ram(0x50), 0);
}

TEST_F(ToolCommandTest, upgradeOfAMissingFile_showsOnlyTheFileError)
{
    const QString path = QString::fromStdString((dir.Path() / "absent.hex").string());
    RunUpgradeOnFile(link, path, nullptr);
    EXPECT_EQ(boxes.Texts(), QStringList{path + " was not found."});
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(ToolCommandTest, errorLogBoxesAndFile)
{
    for (unsigned a = kErrorLogFirst; a <= kErrorLogLast; ++a)
        sim.SetEeprom(static_cast<std::uint8_t>(a), 0x0A);
    sim.SetEeprom(kErrorLogIndex, 0x5D);
    const QString target = File("Error.log", "previous");

    sim.SetFaults(sim::Faults{.silentFrom = 1});
    RunErrorLogToFile(link, target, nullptr);
    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    EXPECT_EQ(Read(target), "previous");

    boxes.requests.clear();
    sim.SetFaults({});
    RunErrorLogToFile(link, target, nullptr);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(Read(target).size(), 95u);

    const QString noFolder = QString::fromStdString((dir.Path() / "none" / "Error.log").string());
    RunErrorLogToFile(link, noFolder, nullptr);
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(boxes.Texts()[0].startsWith(noFolder)) << boxes.Texts()[0].toStdString();
}

} // namespace
} // namespace kestrum
