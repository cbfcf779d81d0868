#pragma once

#include <QString>

class QWidget;

namespace kestrum {
class CController;

// Tools > Write Error Log...: asks where to save (preset "Error.log", with
// the overwrite question) and exports the controller's error log there.
void RunErrorLogCommand(CController& link, QWidget* mainWindow);

// The same after the file has been chosen; an empty path does nothing.
void RunErrorLogToFile(CController& link, const QString& path, QWidget* mainWindow);

} // namespace kestrum
