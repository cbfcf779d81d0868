// The About box's version on Windows comes from the program's own version
// resource; this test program carries the same resource as kestrum.exe.
#include "app/about_dlg.h"
#include "app/file_version.h"
#include "app/version_line.h"
#include "kestrum_version.h"
#include "ui/control_id.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(FileVersion, runningProgram_isReadFromItsVersionResource)
{
    EXPECT_EQ(ProgramFileVersion(), KESTRUM_FILE_VERSION);
}

TEST(FileVersion, fileWithoutResource_isEmpty)
{
    EXPECT_EQ(FileVersionOf(L"C:\\no-such-folder\\kestrum.exe"), "");
}

TEST(FileVersion, aboutBox_showsTheLineOfTheResourceVersion)
{
    CAboutDlg dialog;
    auto* version = FindControl<QLabel>(&dialog, 1102);
    ASSERT_NE(version, nullptr);
    const std::string expected = VersionLine(ProgramFileVersion());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(version->text().toStdString(), expected);
}

} // namespace
} // namespace kestrum
