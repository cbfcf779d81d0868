#include "tools/gui/upgrade_command.h"

#include "app/message_box.h"
#include "tools/file_error.h"
#include "tools/firmware_upgrade.h"
#include "tools/gui/dialog_progress.h"

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
    switch (result.status) {
    case UpgradeResult::Status::Succeeded:
        return QString::fromStdString(UpgradeDoneText(result));
    case UpgradeResult::Status::FileError:
        ShowMessageBox(QString::fromStdString(FileErrorText(result.fileError, path.toStdString())),
                       QMessageBox::Ok, QMessageBox::NoIcon, mainWindow);
        return {};
    case UpgradeResult::Status::NotResponding:
    case UpgradeResult::Status::Failed:
        break;
    }
    for (const std::string& text : UpgradeFailureTexts(result))
        ShowMessageBox(QString::fromStdString(text), QMessageBox::Ok, QMessageBox::Warning,
                       mainWindow);
    return {};
}

} // namespace kestrum
