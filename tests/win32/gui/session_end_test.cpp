// The end of a Windows session (log off, shut down): Windows asks every
// top-level window whether the session may end, and then ends the program
// without a close. The settings must be saved at that question, as a close
// saves them. Needs the real Windows platform plugin, which turns the
// message into Qt's commit-data request; under the offscreen plugin there is
// no window to send it to.
#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "registry_key.h"
#include "ui/message_box.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <windows.h>

namespace kestrum::test {
namespace {

TEST(SessionEnd, queryEndSession_savesTheSettingsWithoutAClose)
{
    if (QGuiApplication::platformName() != QLatin1String("windows")) {
        GTEST_SKIP() << "needs QT_QPA_PLATFORM=windows, not \""
                     << QGuiApplication::platformName().toStdString() << "\"";
    }
    ScopedCleanKey cleanKey;
    SetMessageBoxHandler([](const MessageBoxRequest&) { return int{QMessageBox::Ok}; });
    CMainFrame frame(*qobject_cast<CMonitorApp*>(QCoreApplication::instance()));
    SetMessageBoxHandler({});
    RemoveProgramKey(); // nothing saved by the start itself counts
    ASSERT_FALSE(ReadSettingsValue(L"View").has_value());

    const auto window = reinterpret_cast<HWND>(frame.winId());
    const LRESULT mayEnd = SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    // Another program held the session up: it goes on, and so does this one.
    SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);

    EXPECT_NE(mayEnd, 0) << "the tool must not hold the session up";
    for (const wchar_t* name : {L"WriteDelay", L"ReadWriteTries", L"RetryDelay", L"ResetTries",
                                L"ResetDelay", L"View", L"Left", L"Top"}) {
        const auto stored = ReadSettingsValue(name);
        ASSERT_TRUE(stored.has_value()) << QString::fromWCharArray(name).toStdString();
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    }
}

} // namespace
} // namespace kestrum::test
