#pragma once

#include "link/comm_timings.h"

#include <QDialog>

class QLineEdit;

// The Communication Timings dialog. It edits the link's live timings in
// place: on OK each field is stored the moment it has been read, so a field
// refused later leaves the earlier ones in effect, even if the user then
// cancels. Opened modally with exec().
class CProgramDlg : public QDialog
{
    Q_OBJECT

public:
    CProgramDlg(kestrum::CommTimings& timings, QWidget* parent = nullptr);

    void accept() override;

private:
    // Reads the five fields in order into the timings; false (after telling
    // the user and focusing the field) at the first one that is refused.
    bool TakeFields();

    kestrum::CommTimings& timings_;
    QLineEdit* writeDelay_;
    QLineEdit* readWriteTries_;
    QLineEdit* retryDelay_;
    QLineEdit* resetTries_;
    QLineEdit* resetDelay_;
};
