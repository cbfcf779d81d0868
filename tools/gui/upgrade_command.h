#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kestrum {
class CController;

// Tools > Upgrade...: asks for the HEX file, runs the upgrade behind the
// progress window and reports a failure in a box; a successful upgrade shows
// no box and returns what the status line should say (empty otherwise).
// `beforeWrite` runs once the file has been checked, before anything is sent.
QString RunUpgradeCommand(CController& link, QWidget* mainWindow,
                          const std::function<void()>& beforeWrite = {});

// The same after the file has been chosen (an empty path means the user
// cancelled the file dialog, which the user sees as a failed upgrade).
QString RunUpgradeOnFile(CController& link, const QString& path, QWidget* mainWindow,
                         const std::function<void()>& beforeWrite = {});

} // namespace kestrum
