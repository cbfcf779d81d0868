#include "profiles/gui/profile_commands.h"

#include "link/controller.h"
#include "profiles/gui/history_dlg.h"
#include "profiles/profile_file.h"
#include "profiles/profile_load.h"
#include "settings/gui/control_page.h"
#include "throttle/gui/throttle_page.h"
#include "tools/file_error.h"
#include "tools/gui/dialog_progress.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QString Bulleted(const std::vector<std::string>& lines)
{
    QString text;
    for (const std::string& line : lines)
        text += QStringLiteral("\n    ") + Text(line);
    return text;
}

constexpr auto kFilter = "Controller Profiles (*.json);;All Files (*.*)";

} // namespace

CProfileCommands::CProfileCommands(kestrum::CController& link, CControlPage& controlPage,
                                   CThrottlePage& throttlePage, QWidget& owner)
    : QObject(&owner), controller_(link), control_(controlPage), throttle_(throttlePage),
      window_(owner), history_(kestrum::DefaultHistoryFolder())
{}

bool CProfileCommands::ReadPages(bool fresh)
{
    // Each page's own Refresh, so that the page shows what was read and the
    // user hears of a failure exactly as from the page.
    if (fresh || !kestrum::PanelComplete(control_.Panel()))
        control_.OnRefresh();
    if (!kestrum::PanelComplete(control_.Panel()))
        return false;
    if (fresh || !kestrum::ThrottleComplete(throttle_.Response()))
        throttle_.OnRefresh();
    return kestrum::ThrottleComplete(throttle_.Response());
}

std::optional<kestrum::ControllerProfile> CProfileCommands::Current() const
{
    return kestrum::CaptureProfile(control_.Panel(), throttle_.Response());
}

void CProfileCommands::OnSaveProfile()
{
    if (!ReadPages())
        return;
    const auto profile = Current();
    const QString name =
        QStringLiteral("%1 %2.json")
            .arg(Text(profile->serialNumber), Text(profile->takenAt.substr(0, 10)));
    const QString path = QFileDialog::getSaveFileName(&window_, QStringLiteral("Save Profile"),
                                                      QDir(lastFolder_).filePath(name),
                                                      QString::fromLatin1(kFilter));
    if (!path.isEmpty())
        SaveProfileTo(path);
}

void CProfileCommands::SaveProfileTo(const QString& path)
{
    if (!ReadPages())
        return;
    const auto profile = Current();
    lastFolder_ = QFileInfo(path).absolutePath();
    if (const std::error_code error = kestrum::SaveProfile(path.toStdString(), *profile)) {
        kestrum::ShowMessageBox(Text(kestrum::FileErrorText(error, path.toStdString())),
                                QMessageBox::Ok, QMessageBox::Warning, &window_);
        return;
    }
    emit ResultReady(QStringLiteral("Profile saved"));
}

void CProfileCommands::OnLoadProfile()
{
    const QString path = QFileDialog::getOpenFileName(&window_, QStringLiteral("Load Profile"),
                                                      lastFolder_, QString::fromLatin1(kFilter));
    if (!path.isEmpty())
        LoadProfileFrom(path);
}

void CProfileCommands::LoadProfileFrom(const QString& path)
{
    lastFolder_ = QFileInfo(path).absolutePath();
    const kestrum::ProfileRead read = kestrum::ReadProfile(path.toStdString());
    if (!read.profile) {
        const QString text =
            read.fileError
                ? Text(read.error)
                : Text(kestrum::UnusableProfileText(QDir::toNativeSeparators(path).toStdString())) +
                      QStringLiteral("\n\n") + Text(read.error);
        kestrum::ShowMessageBox(text, QMessageBox::Ok, QMessageBox::Warning, &window_);
        return;
    }
    LoadProfile(*read.profile);
}

bool CProfileCommands::ConfirmOtherModel(const kestrum::ControllerProfile& profile,
                                         const kestrum::LoadPlan& plan)
{
    std::vector<std::string> outside;
    for (const kestrum::ProfileDifference& difference : plan.differences) {
        if (difference.refusal == kestrum::LoadRefusal::OutsideModelRange)
            outside.push_back(difference.text);
    }
    QString text = Text(kestrum::OtherModelText(profile.modelName, plan.controllerModel)) +
                   QStringLiteral("\n\n");
    if (outside.empty())
        text += QStringLiteral("Every value of the profile lies within this model's ranges.");
    else
        text += QStringLiteral("These values lie outside this model's ranges and will not be "
                               "written:") +
                Bulleted(outside);
    text += QStringLiteral("\n\nLoad it onto this controller anyway?");
    // Enter must not write another model's values: No is the default.
    return kestrum::ShowMessageBox(text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
                                   &window_, QMessageBox::No) == QMessageBox::Yes;
}

void CProfileCommands::LoadProfile(const kestrum::ControllerProfile& profile)
{
    // What is written is planned against what the controller holds now, not
    // what the pages read earlier: the technician may have plugged in the
    // next cart of the fleet since.
    if (!ReadPages(true))
        return;
    const kestrum::LoadPlan plan = kestrum::PlanLoad(*Current(), profile);
    if (plan.otherModel && !ConfirmOtherModel(profile, plan))
        return;
    const std::vector<std::string> lines = kestrum::DifferenceLines(plan);
    if (plan.steps.empty()) {
        kestrum::ShowMessageBox(lines.empty()
                                    ? QString::fromUtf8(kestrum::kProfileAlreadyHeldText)
                                    : QString::fromUtf8(kestrum::kNothingWritableText) +
                                          QStringLiteral(" to this controller:") + Bulleted(lines),
                                QMessageBox::Ok, QMessageBox::Information, &window_);
        return;
    }
    const QString question =
        QStringLiteral("Load the profile of serial number %1, taken %2?\n\nThese will change:")
            .arg(Text(profile.serialNumber), Text(profile.takenAt)) +
        Bulleted(lines);
    if (kestrum::ShowMessageBox(question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                                &window_) != QMessageBox::Yes)
        return;

    KeepHistory("Profile load");
    kestrum::LoadReport report;
    {
        CWaitCursor wait;
        CDialogProgress progress(QStringLiteral("Writing Throttle Table..."), &window_);
        report = kestrum::LoadProfile(controller_, plan, control_.Panel(), throttle_.Response(),
                                      progress);
    }
    control_.ShowAll();
    throttle_.ShowResponse();
    using Outcome = kestrum::LoadReport::Outcome;
    if (report.outcome == Outcome::NotLocated)
        return;
    emit ResultReady(QString::fromUtf8(kestrum::LoadOutcomeText(report.outcome)));
    switch (report.outcome) {
    case Outcome::Done:
    case Outcome::NotLocated:
        return;
    case Outcome::NotResponding:
        kestrum::ShowMessageBox(QString::fromUtf8(kestrum::NotRespondingText()) +
                                    QStringLiteral("\n\n") + Text(kestrum::LoadReportText(report)),
                                QMessageBox::Ok, QMessageBox::Warning, &window_);
        return;
    case Outcome::PartlyWritten:
        kestrum::ShowMessageBox(Text(kestrum::TablePartlyWrittenText(
                                    "Press Set on the Throttle Response page to write it again.")) +
                                    QStringLiteral("\n\n") + Text(kestrum::LoadReportText(report)),
                                QMessageBox::Ok, QMessageBox::Warning, &window_);
        return;
    }
}

std::optional<QStringList> CProfileCommands::Compare(const kestrum::ControllerProfile& profile)
{
    if (!ReadPages(true))
        return std::nullopt;
    QStringList lines;
    for (const std::string& line : kestrum::DifferenceLines(kestrum::PlanLoad(*Current(), profile)))
        lines << Text(line);
    return lines;
}

void CProfileCommands::OnServiceHistory()
{
    CHistoryDlg dialog(*this, &window_);
    dialog.exec();
}

void CProfileCommands::KeepHistory(const std::string& keptBefore)
{
    auto profile = Current();
    if (!profile)
        return;
    profile->keptBefore = keptBefore;
    const std::error_code error = history_.Keep(*profile);
    if (!error || historyFailureShown_)
        return;
    historyFailureShown_ = true;
    kestrum::ShowMessageBox(
        QString::fromUtf8(kestrum::kHistoryNotKeptText) +
            QStringLiteral(" in %1.\n\n%2")
                .arg(QDir::toNativeSeparators(Text(history_.Root().string())),
                     Text(kestrum::FileErrorText(error, history_.Root().string()))),
        QMessageBox::Ok, QMessageBox::Warning, &window_);
}
