#pragma once

#include "settings/controller_check.h"
#include "ui/property_page.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class CPropSheet;
class CStatusLine;

namespace kestrum {
class CController;
class DeviceWatch;
} // namespace kestrum

// Follows the cable from cart to cart. It keeps which controller the pages'
// values belong to, and on the user-interface thread:
// - when the port hangs up (told by the link's reader at once), greys the
//   values on every page and disables their Set; the status line says
//   "Port lost" by itself, and no box is shown while no command runs;
// - when a serial device appears after that (told by the device watch), it
//   searches once, quietly, and reads who answers: the same controller gets
//   its values back as they were ("Reconnected"), another one is read by the
//   page on show and by the other pages when next shown;
// - before a Set's first write, it reads who answers (see CheckBeforeWrite).
// Nothing is sent while no device appeared.
class CConnectionWatch : public QObject, public CWriteGuard
{
    Q_OBJECT

public:
    // The sheet's pages are the ones kept in step with the controller; the
    // status line tells what was found.
    CConnectionWatch(kestrum::CController& controller, CPropSheet& sheet, CStatusLine& status,
                     QObject* parent);
    ~CConnectionWatch() override;

    // The controller the values on show belong to, once one was identified.
    const std::optional<kestrum::ControllerKey>& Known() const { return known_; }

    // A page has just read `key` from the controller, with its values: the
    // pages showing the same controller show it as connected again, those
    // of another controller read it when next shown.
    void ControllerRead(const kestrum::ControllerKey& key, CPropertyPage& reader);

    // Before a Set's first write: true when the controller answering is the
    // one whose values `page` shows (four quiet reads, nothing else). False
    // when nothing may be written; the user was told: a silent controller
    // with the usual "Motor controller is not responding", another one by
    // the page reading it as Refresh does and one box naming it.
    bool CheckBeforeWrite(CPropertyPage& page) override;

    // Whether the device watch runs (it may be refused by the platform).
    bool Watching() const;

signals:
    void portLost();
    void deviceAppeared(const QString& name);
    // A quiet search after a loss found a controller: the same one as
    // before or another.
    void reconnected(bool sameController);

private:
    void OnPortLost();
    void OnDeviceAppeared(const QString& name);
    void SetPagesConnected(bool connected);
    // Another controller: `readNow` reads it at once, the others when shown.
    void AdoptAnother(const kestrum::ControllerKey& key, CPropertyPage* readNow);
    void ShowIdentity(const kestrum::ControllerKey& key);

    kestrum::CController& controller_;
    CPropSheet& sheet_;
    CStatusLine& status_;
    std::optional<kestrum::ControllerKey> known_;
    std::unique_ptr<kestrum::DeviceWatch> devices_;
    bool searching_ = false;
};
