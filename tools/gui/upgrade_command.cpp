#include "tools/gui/upgrade_command.h"

#include "tools/file_error.h"
#include "tools/firmware_upgrade.h"
#include "tools/gui/dialog_progress.h"
#include "ui/message_box.h"

#include <QFileDialog>

namespace kestrum {

QString RunUpgradeCommand(CController& link, QWidget* mainWindow,
                          const std::function<void()>& beforeWrite)
{
    const QString path = QFileDialog::getOpenFileName(
        mainWindow, QString(), QString(), QStringLiteral("Hex Files (*.hex);;All Files (*.*)"));
    return RunUpgradeOnFile(link, path, mainWindow, beforeWrite);
}

QString RunUpgradeOnFile(CController& link, const QString& path, QWidget* mainWindow,
                         const std::function<void()>& beforeWrite)
{
    UpgradeResult result;
    if (!path.isEmpty()) {
        CDialogProgress progress(QStringLiteral("Writing FLASH memory..."), mainWindow);
        result = UpgradeFirmware(link, path.toStdString(), progress, beforeWrite);
        // The window goes before any box, so the main window is usable again.
        progress.Close();
    }
    if (result.status == UpgradeResult::Status::Succeeded)
        return QString::fromStdString(UpgradeDoneText(result));
    // A file error is told plainly, as every file error; a failed upgrade
    // is a warning.
    const QMessageBox::Icon icon = result.status == UpgradeResult::Status::FileError
                                       ? QMessageBox::NoIcon
                                       : QMessageBox::Warning;
    for (const std::string& text : UpgradeFailureTexts(result, path.toStdString()))
        ShowMessageBox(QString::fromStdString(text), QMessageBox::Ok, icon, mainWindow);
    return {};
}

} // namespace kestrum
