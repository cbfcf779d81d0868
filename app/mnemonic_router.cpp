#include "app/mnemonic_router.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
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

// The first usable control of `page` (in creation order) whose mnemonic is
// `sequence`: a button, or a label with a usable buddy.
QWidget* PageControl(const QWidget& page, const QKeySequence& sequence)
{
    for (QWidget* child : page.findChildren<QWidget*>()) {
        if (!Usable(child)) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            if (QKeySequence::mnemonic(button->text()) == sequence) {
                return button;
            }
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            if (label->buddy() && Usable(label->buddy()) &&
                QKeySequence::mnemonic(label->text()) == sequence) {
                return label;
            }
        }
    }
    return nullptr;
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
    : QObject(&mainWindow), window(mainWindow), sheet(pageSheet), menuBar(bar)
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
    return focus != nullptr && watched == focus && focus->window() == &window;
}

CMnemonicRouter::Target CMnemonicRouter::Resolve(const QKeyEvent& key) const
{
    Target target;
    const QWidget* page = sheet.currentWidget();
    if (page == nullptr) {
        return target;
    }
    const QKeySequence sequence = AltKey(key);
    QWidget* control = PageControl(*page, sequence);
    if (control == nullptr) {
        return target; // no clash: Qt handles the key alone
    }
    if (page->isAncestorOf(QApplication::focusWidget())) {
        target.control = control;
        return target;
    }
    for (QAction* action : menuBar.actions()) {
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
        type == QEvent::KeyPress && !menuBar.actions().isEmpty()) {
        menuBar.setActiveAction(menuBar.actions().first());
        return true;
    }
    if (!IsAltLetter(*key)) {
        return false;
    }
    const Target target = Resolve(*key);
    if (target.control == nullptr && target.menu == nullptr) {
        return false;
    }
    // Claim the key from the shortcut map (where it is ambiguous), then act
    // on it when it arrives as a key press.
    key->accept();
    if (type == QEvent::KeyPress) {
        if (target.control) {
            Activate(*target.control);
        } else {
            menuBar.setActiveAction(target.menu);
        }
    }
    return true;
}
