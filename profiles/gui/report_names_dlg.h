#pragma once

#include "tools/pdf/report_names.h"

#include <QDialog>

class QLineEdit;

// The technician's and workshop's names printed on service reports; both
// may stay empty.
class CReportNamesDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CReportNamesDlg(const kestrum::ReportNames& names, QWidget* parent = nullptr);

    kestrum::ReportNames Names() const;
    QLineEdit* TechnicianEdit() const { return technician; }
    QLineEdit* WorkshopEdit() const { return workshop_; }

private:
    QLineEdit* technician = nullptr;
    QLineEdit* workshop_ = nullptr;
};
