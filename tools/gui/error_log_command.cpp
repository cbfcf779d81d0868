#include "tools/gui/error_log_command.h"

#include "link/controller.h"
#include "tools/error_log_export.h"
#include "tools/file_error.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QFileDialog>

namespace kestrum {

void RunErrorLogCommand(CController& link, QWidget* mainWindow)
{
    // The save dialog asks before overwriting an existing file.
    const QString path =
        QFileDialog::getSaveFileName(mainWindow, QString(), QStringLiteral("Error.log"));
    RunErrorLogToFile(link, path, mainWindow);
}

void RunErrorLogToFile(CController& link, const QString& path, QWidget* mainWindow)
{
    if (path.isEmpty())
        return;
    ErrorLogResult result;
    {
        CWaitCursor wait;
        result = ExportErrorLog(link, path.toStdString());
    }
    switch (result.status) {
    case ErrorLogResult::Status::FileError:
        ShowMessageBox(QString::fromStdString(FileErrorText(result.fileError, path.toStdString())),
                       QMessageBox::Ok, QMessageBox::NoIcon, mainWindow);
        break;
    case ErrorLogResult::Status::NotResponding:
        ShowNotResponding(mainWindow);
        break;
    case ErrorLogResult::Status::Written:
    case ErrorLogResult::Status::EmptyLog:
    case ErrorLogResult::Status::ReadFailed:
        // An erased log and a quietly failed read end without a word.
        break;
    }
}

} // namespace kestrum
