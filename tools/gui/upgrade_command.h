#pragma once

#include <QString>

class QWidget;

namespace kestrum {
class CController;

// Tools > Upgrade...: asks for the HEX file, runs the upgrade behind the
// progress window and reports a failure; a successful upgrade ends silently.
void RunUpgradeCommand(CController& link, QWidget* mainWindow);

// The same after the file has been chosen (an empty path means the user
// cancelled the file dialog, which the user sees as a failed upgrade).
void RunUpgradeOnFile(CController& link, const QString& path, QWidget* mainWindow);

} // namespace kestrum
