// The widget tests run in one QApplication: the real application object, so
// the settings store has the application's own identity. Nothing here may
// touch the user's real settings or the host's serial ports: the settings
// live in a temporary folder, and the port search is pinned to a port that
// does not exist.
#include "app/monitor_app.h"

#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) {
        return 2;
    }
    // Read once by Qt: the settings store of every test lives below it.
    setenv("XDG_CONFIG_HOME", qPrintable(sandbox.filePath(QStringLiteral("config"))), 1);
    // The service history of every test's Set, whatever the test itself
    // sets, never lands in the user's own.
    setenv("XDG_DATA_HOME", qPrintable(sandbox.filePath(QStringLiteral("data"))), 1);
    const QString noPorts = sandbox.filePath(QStringLiteral("no-serial-ports"));
    // A test that does not name its port finds one that does not exist.
    setenv("KESTRUM_PORTS", qPrintable(noPorts + QStringLiteral("/none")), 0);

    CMonitorApp app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
