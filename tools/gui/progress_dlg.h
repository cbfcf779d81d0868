#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

// The progress window of a long run of controller work done on the
// user-interface thread. The run keeps control: it creates the dialog, and
// per step calls SetPos and PumpMessages and stops when cancelled() is set.
// While the dialog exists the main window is disabled; the destructor enables
// it again, so a run that ends by an exception still gives the window back.
// User-interface thread only.
class CProgressDlg : public QDialog
{
    Q_OBJECT

public:
    // mainWindow is the window to disable; null means the application's
    // top-level main window, if there is one.
    CProgressDlg(const QString& text, int lower, int upper, QWidget* mainWindow = nullptr);
    ~CProgressDlg() override;

    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    void SetPos(int pos);

    // Handles the events waiting now and returns; it never waits for more.
    // Once the application has been asked to quit it returns at once.
    void PumpMessages();

    bool cancelled() const { return isCancelled_; }

protected:
    // Cancel, Esc and the window's close button all land here or in
    // closeEvent: they only raise the flag, the run decides when to stop.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

    // Holds back the application's quit request while the run goes on.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isCancelled_ = false;
    bool quitRequested_ = false;
    QPointer<QWidget> disabledWindow_;
    QLabel* label_;
    QProgressBar* bar_;
};
