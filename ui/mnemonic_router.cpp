#include "ui/mnemonic_router.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>

namespace {

QKeySequence AltKey(const QKeyEvent& key)
{
    return QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key.key())));
}

bool IsAltLetter(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::AltModifier && ((key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z) ||
                                            (key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9));
}

bool Usable(const QWidget* widget)
{
    return widget->isVisible() && widget->isEnabled();
}

// The usable controls of `page` (in creation order) whose mnemonic is
// `sequence`: buttons, and labels with a usable buddy.
QList<QWidget*> PageControls(const QWidget& page, const QKeySequence& sequence)
{
    QList<QWidget*> found;
    for (QWidget* child : page.findChildren<QWidget*>()) {
        if (!Usable(child)) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            if (QKeySequence::mnemonic(button->text()) == sequence) {
                found.append(button);
            }
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            if (label->buddy() && Usable(label->buddy()) &&
                QKeySequence::mnemonic(label->text()) == sequence) {
                found.append(label);
            }
        }
    }
    return found;
}

// Of several controls sharing a mnemonic, the one after the focused one
// (the first when none of them has the focus), as the key cycles among them.
// A label counts as focused while its buddy has the focus.
QWidget* NextSharing(const QList<QWidget*>& controls)
{
    const QWidget* focus = QApplication::focusWidget();
    qsizetype focused = -1;
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const auto* label = qobject_cast<const QLabel*>(controls[i]);
        if (controls[i] == focus || (label && label->buddy() == focus)) {
            focused = i;
        }
    }
    return controls[(focused + 1) % controls.size()];
}

void Activate(QWidget& control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        if (button->focusPolicy() & Qt::TabFocus && button->isCheckable()) {
            button->setFocus(Qt::ShortcutFocusReason);
        }
        button->animateClick();
    } else if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->buddy()->setFocus(Qt::ShortcutFocusReason);
    }
}

} // namespace

CMnemonicRouter::CMnemonicRouter(QMainWindow& mainWindow, QTabWidget& pageSheet, QMenuBar& bar)
    : QObject(&mainWindow), window_(mainWindow), sheet_(pageSheet), menuBar_(bar)
{
    qApp->installEventFilter(this);
}

CMnemonicRouter::~CMnemonicRouter()
{
    qApp->removeEventFilter(this);
}

bool CMnemonicRouter::IsOurFocusEvent(QObject* watched) const
{
    // Key events travel from the focus widget up to its window; act once, at
    // the first stop, and only for this window.
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && watched == focus && focus->window() == &window_;
}

CMnemonicRouter::Target CMnemonicRouter::Resolve(const QKeyEvent& key) const
{
    Target target;
    const QWidget* page = sheet_.currentWidget();
    if (page == nullptr) {
        return target;
    }
    const QKeySequence sequence = AltKey(key);
    const QList<QWidget*> controls = PageControls(*page, sequence);
    if (controls.isEmpty()) {
        return target; // no clash: Qt handles the key alone
    }
    // The tab bar belongs to the sheet, and so to the page it shows: at
    // start-up the focus is there, and Alt+S must press "&Set" then too.
    const QWidget* focus = QApplication::focusWidget();
    if (page->isAncestorOf(focus) || (focus != nullptr && focus == sheet_.tabBar())) {
        if (controls.size() == 1) {
            target.control = controls.first();
        } else {
            // Shared by two controls: the key only moves the focus, and
            // Space then presses the focused one.
            target.focus = NextSharing(controls);
        }
        return target;
    }
    for (QAction* action : menuBar_.actions()) {
        if (action->isVisible() && action->isEnabled() &&
            QKeySequence::mnemonic(action->text()) == sequence) {
            target.menu = action;
            return target;
        }
    }
    return target;
}

bool CMnemonicRouter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) ||
        !IsOurFocusEvent(watched)) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);

    if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier &&
        type == QEvent::KeyPress && !menuBar_.actions().isEmpty()) {
        menuBar_.setActiveAction(menuBar_.actions().first());
        return true;
    }
    if (!IsAltLetter(*key)) {
        return false;
    }
    const Target target = Resolve(*key);
    if (target.control == nullptr && target.focus == nullptr && target.menu == nullptr) {
        return false;
    }
    // Claim the key from the shortcut map (where it is ambiguous), then act
    // on it when it arrives as a key press.
    key->accept();
    if (type == QEvent::KeyPress) {
        if (target.control) {
            Activate(*target.control);
        } else if (target.focus) {
            // A label hands the focus on to its buddy.
            auto* label = qobject_cast<QLabel*>(target.focus);
            (label ? label->buddy() : target.focus)->setFocus(Qt::ShortcutFocusReason);
        } else {
            menuBar_.setActiveAction(target.menu);
        }
    }
    return true;
}
