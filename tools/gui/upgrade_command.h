#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kestrum {
class CController;

// Tools > Upgrade...: asks for the HEX file, runs the upgrade behind the
// progress window and reports a failure; a successful upgrade ends silently.
// `beforeWrite` runs once the file is chosen, before anything is sent.
void RunUpgradeCommand(CController& link, QWidget* mainWindow,
                       const std::function<void()>& beforeWrite = {});

// The same after the file has been chosen (an empty path means the user
// cancelled the file dialog, which the user sees as a failed upgrade).
void RunUpgradeOnFile(CController& link, const QString& path, QWidget* mainWindow,
                      const std::function<void()>& beforeWrite = {});

} // namespace kestrum
