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
        : text_(std::move(text)), mainWindow_(mainWindow)
    {}

    void SetRange(std::int64_t lower, std::int64_t upper) override
    {
        dialog_.reset();
        dialog_ = std::make_unique<CProgressDlg>(text_, Clamp(lower), Clamp(upper), mainWindow_);
    }
    void SetPos(std::int64_t pos) override
    {
        if (dialog_)
            dialog_->SetPos(Clamp(pos));
    }
    bool Cancelled() override
    {
        if (!dialog_)
            return false;
        dialog_->PumpMessages();
        return dialog_->cancelled();
    }
    // Closes the window before the caller's final message box.
    void Close() { dialog_.reset(); }
    CProgressDlg* Dialog() const { return dialog_.get(); }

private:
    static int Clamp(std::int64_t value)
    {
        return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    }

    QString text_;
    QWidget* mainWindow_;
    std::unique_ptr<CProgressDlg> dialog_;
};
