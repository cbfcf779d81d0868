// The window's Windows behaviour, under Wine: one real application object,
// so that the settings store has the program's own identity and lives where
// the program keeps it, in the registry of the Wine prefix. Every test that
// writes there removes the key before and after itself.
#include "app/monitor_app.h"

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    // A test that does not name its port searches one mapped to nothing.
    if (!qEnvironmentVariableIsSet("KESTRUM_PORTS")) {
        qputenv("KESTRUM_PORTS", QByteArrayLiteral("COM199"));
    }
    CMonitorApp app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
