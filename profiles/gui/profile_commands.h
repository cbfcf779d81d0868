#pragma once

#include "profiles/controller_profile.h"
#include "profiles/profile_load.h"
#include "profiles/service_history.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class CControlPage;
class QWidget;

namespace kestrum {
class CController;
}
class CThrottlePage;

// The Tools menu's profile commands and the automatic service history, on
// top of the Control Panel and Throttle Response pages: a profile is made of
// what those pages read, and a load leaves them showing what the controller
// then holds.
class CProfileCommands : public QObject
{
    Q_OBJECT

public:
    // `window` owns the commands and their dialogs; the pages are the ones a
    // profile is made of and loaded into.
    CProfileCommands(kestrum::CController& controller, CControlPage& control,
                     CThrottlePage& throttle, QWidget& window);

    void OnSaveProfile();
    void OnLoadProfile();
    void OnServiceHistory();

    // After the file was chosen.
    void SaveProfileTo(const QString& path);
    void LoadProfileFrom(const QString& path);
    void LoadProfile(const kestrum::ControllerProfile& profile);
    // The lines of what loading `profile` would change; none when the
    // controller could not be read (the user was told).
    std::optional<QStringList> Compare(const kestrum::ControllerProfile& profile);

    // A profile of what the pages last read, kept without a request on the
    // wire. A history that cannot be written is reported once per run and
    // never stops the command that asked for it.
    // `keptBefore` names the change about to be made ("Set", "Upgrade").
    void KeepHistory(const std::string& keptBefore = {});
    const kestrum::ServiceHistory& History() const { return history_; }

signals:
    // What a command did ("Profile saved"), for the status line.
    void ResultReady(const QString& result);

private:
    // Reads what the pages have not read yet, or, when `fresh`, all of it
    // again; false if they could not read it all.
    bool ReadPages(bool fresh = false);
    std::optional<kestrum::ControllerProfile> Current() const;
    bool ConfirmOtherModel(const kestrum::ControllerProfile& profile,
                           const kestrum::LoadPlan& plan);

    kestrum::CController& controller_;
    CControlPage& control_;
    CThrottlePage& throttle_;
    QWidget& window_;
    kestrum::ServiceHistory history_;
    bool historyFailureShown_ = false;
    QString lastFolder_;
};
