#include "tools/gui/progress_dlg.h"

#include "ui/control_id.h"
#include "ui/dialog_units.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace {

constexpr int kBarId = 1006;
constexpr int kLabelId = 1007;
constexpr int kCancelId = 2;

// The application has one main window; a shown one is preferred over one
// that is still being built or already hidden.
QWidget* ApplicationMainWindow()
{
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) && (!found || widget->isVisible())) {
            found = widget;
        }
    }
    return found;
}

// A run started from a modal window (the service history's Compare) shows
// its progress above that window: beneath it, the progress and its Cancel
// would be out of reach.
QWidget* Owner(QWidget* mainWindow)
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return mainWindow ? mainWindow : ApplicationMainWindow();
}

} // namespace

CProgressDlg::CProgressDlg(const QString& text, int lower, int upper, QWidget* mainWindow)
    : QDialog(Owner(mainWindow)), disabledWindow_(parentWidget())
{
    // Nothing but this window may take input while the run owns the
    // user-interface thread. The dialog is the main window's child (it stays
    // above it and is centred on it), so it is enabled again explicitly after
    // the main window has passed its disabling on.
    if (disabledWindow_) {
        disabledWindow_->setEnabled(false);
    }
    setEnabled(true);

    setWindowTitle(QStringLiteral("Quorvel Kestrum"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    const kestrum::DialogUnits du(font());
    // A text wider than the template's line widens the window around it.
    const int textWidth = fontMetrics().horizontalAdvance(text) + du.X(2);
    const int widen = std::max(0, textWidth - du.X(154));

    label_ = new QLabel(text, this);
    kestrum::SetControlId(label_, kLabelId);
    label_->setTextFormat(Qt::PlainText);
    label_->setGeometry(du.X(16), du.Y(13), du.X(154) + widen, du.Y(8));

    bar_ = new QProgressBar(this);
    kestrum::SetControlId(bar_, kBarId);
    bar_->setGeometry(du.X(16), du.Y(32), du.X(154) + widen, du.Y(14));
    bar_->setRange(lower, upper);
    bar_->setValue(lower);

    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    kestrum::SetControlId(cancel, kCancelId);
    cancel->setGeometry(du.X(67) + widen / 2, du.Y(58), du.X(50), du.Y(14));
    connect(cancel, &QPushButton::clicked, this, &CProgressDlg::reject);

    setFixedSize(du.X(186) + widen, du.Y(79));

    QCoreApplication::instance()->installEventFilter(this);

    show();
    raise();
    activateWindow();
    repaint();
}

CProgressDlg::~CProgressDlg()
{
    QCoreApplication::instance()->removeEventFilter(this);
    if (disabledWindow_) {
        disabledWindow_->setEnabled(true);
    }
    // The quit held back while the run went on is passed on now.
    if (quitRequested_) {
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    }
}

void CProgressDlg::SetPos(int pos)
{
    bar_->setValue(std::clamp(pos, bar_->minimum(), bar_->maximum()));
}

void CProgressDlg::PumpMessages()
{
    if (quitRequested_) {
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CProgressDlg::reject()
{
    isCancelled_ = true;
}

void CProgressDlg::closeEvent(QCloseEvent* event)
{
    isCancelled_ = true;
    event->ignore();
}

bool CProgressDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        quitRequested_ = true;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
