#pragma once

#include "tools/gui/progress_dlg.h"
#include "tools/run_progress.h"

#include <QString>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

// A core run's progress shown in the progress window: the window is made when
// the run names its range, the bar follows SetPos, and every Cancelled() call
// handles the window's waiting events first, so the window stays alive and a
// Cancel press is seen at the next step. User-interface thread only.
class CDialogProgress final : public kestrum::RunProgress
{
public:
    explicit CDialogProgress(QString text, QWidget* mainWindow = nullptr)
        : text(std::move(text)), mainWindow(mainWindow)
    {}

    void SetRange(std::int64_t lower, std::int64_t upper) override
    {
        dialog.reset();
        dialog = std::make_unique<CProgressDlg>(text, Clamp(lower), Clamp(upper), mainWindow);
    }
    void SetPos(std::int64_t pos) override
    {
        if (dialog)
            dialog->SetPos(Clamp(pos));
    }
    bool Cancelled() override
    {
        if (!dialog)
            return false;
        dialog->PumpMessages();
        return dialog->cancelled();
    }
    // Closes the window before the caller's final message box.
    void Close() { dialog.reset(); }
    CProgressDlg* Dialog() const { return dialog.get(); }

private:
    static int Clamp(std::int64_t value)
    {
        return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    }

    QString text;
    QWidget* mainWindow;
    std::unique_ptr<CProgressDlg> dialog;
};
