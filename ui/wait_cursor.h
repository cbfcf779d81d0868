#pragma once

#include <QApplication>
#include <QCursor>

// Shows the wait cursor for the lifetime of the object. Every command that
// talks to the controller holds one for its whole duration; nesting is fine
// because Qt keeps a stack of override cursors.
class CWaitCursor
{
public:
    CWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
