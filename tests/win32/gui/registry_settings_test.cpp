// The settings in the registry: HKCU\Software\Quorvel\Quorvel Kestrum,
// key Settings, every value a REG_DWORD, as regedit shows them and as an
// older installation of the tool left them.
#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "app/settings_store.h"
#include "link/comm_timings.h"
#include "registry_key.h"
#include "ui/message_box.h"

#include <QCoreApplication>
#include <QSettings>
#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

CMonitorApp& App()
{
    return *qobject_cast<CMonitorApp*>(QCoreApplication::instance());
}

struct DwordCase
{
    const wchar_t* name;
    std::uint32_t stored;
};

class RegistrySettings : public ::testing::Test
{
protected:
    ScopedCleanKey cleanKey;
};

TEST_F(RegistrySettings, savedTimingsAndPlacement_areDwordsUnderTheSettingsKey)
{
    CommTimings timings;
    timings.writeDelay = 35;
    timings.readWriteTries = 7;
    timings.retryDelay = 250;
    timings.resetTries = 12;
    timings.resetDelay = 60;
    {
        QSettings store;
        store.beginGroup(QString::fromLatin1(kSettingsGroup));
        SaveTimings(store, timings);
        SavePlacement(store, {2, -8, 41});
        store.sync();
    }

    const DwordCase expected[] = {
        {L"WriteDelay", 35}, {L"ReadWriteTries", 7}, {L"RetryDelay", 250},   {L"ResetTries", 12},
        {L"ResetDelay", 60}, {L"View", 2},           {L"Left", 0xFFFFFFF8u}, // -8 as its 32 bits
        {L"Top", 41},
    };
    for (const DwordCase& value : expected) {
        const auto stored = ReadSettingsValue(value.name);
        ASSERT_TRUE(stored.has_value()) << QString::fromWCharArray(value.name).toStdString();
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD))
            << QString::fromWCharArray(value.name).toStdString();
        EXPECT_EQ(stored->number, value.stored)
            << QString::fromWCharArray(value.name).toStdString();
    }
}

TEST_F(RegistrySettings, dwordsWrittenByAnotherProgram_areReadBack)
{
    const DwordCase written[] = {
        {L"WriteDelay", 40}, {L"ReadWriteTries", 3}, {L"RetryDelay", 150},   {L"ResetTries", 9},
        {L"ResetDelay", 70}, {L"View", 1},           {L"Left", 0xFFFFFFF6u}, {L"Top", 90},
    };
    for (const DwordCase& value : written) {
        ASSERT_TRUE(WriteSettingsDword(value.name, value.stored));
    }

    QSettings store;
    store.beginGroup(QString::fromLatin1(kSettingsGroup));
    CommTimings timings;
    LoadTimings(store, timings);
    const WindowPlacement placement = LoadPlacement(store, 30);

    EXPECT_EQ(timings.writeDelay.load(), 40u);
    EXPECT_EQ(timings.readWriteTries.load(), 3);
    EXPECT_EQ(timings.retryDelay.load(), 150u);
    EXPECT_EQ(timings.resetTries.load(), 9);
    EXPECT_EQ(timings.resetDelay.load(), 70u);
    EXPECT_EQ(placement.view, 1);
    EXPECT_EQ(placement.left, -10);
    EXPECT_EQ(placement.top, 90);
}

// The whole program's way: a start without a controller, then a close.
TEST_F(RegistrySettings, mainWindowClosed_leavesEveryValueAsADword)
{
    SetMessageBoxHandler([](const MessageBoxRequest&) { return int{QMessageBox::Ok}; });
    {
        CMainFrame frame(App());
        frame.close();
    }
    SetMessageBoxHandler({});

    for (const wchar_t* name : {L"WriteDelay", L"ReadWriteTries", L"RetryDelay", L"ResetTries",
                                L"ResetDelay", L"View", L"Left", L"Top"}) {
        const auto stored = ReadSettingsValue(name);
        ASSERT_TRUE(stored.has_value()) << QString::fromWCharArray(name).toStdString();
        EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD))
            << QString::fromWCharArray(name).toStdString();
    }
    EXPECT_EQ(ReadSettingsValue(L"WriteDelay")->number, CommTimings{}.writeDelay.load());
}

} // namespace
} // namespace kestrum::test
