#include "profiles/gui/report_names_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CReportNamesDlg::CReportNamesDlg(const kestrum::ReportNames& names, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Report Names"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("Service reports carry these names. Both may stay "
                                           "empty; Tools > Report Names... changes them."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    technician = new QLineEdit(names.technician, this);
    workshop_ = new QLineEdit(names.workshop, this);
    // As much as a report's line shows.
    technician->setMaxLength(60);
    workshop_->setMaxLength(60);
    form->addRow(QStringLiteral("&Technician:"), technician);
    form->addRow(QStringLiteral("&Workshop:"), workshop_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

kestrum::ReportNames CReportNamesDlg::Names() const
{
    return {technician->text().trimmed(), workshop_->text().trimmed()};
}
