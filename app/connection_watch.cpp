#include "app/connection_watch.h"

#include "app/prop_sheet.h"
#include "link/controller.h"
#include "link/device_watch.h"
#include "link/port_names.h"
#include "ui/message_box.h"
#include "ui/property_page.h"
#include "ui/status_line.h"
#include "ui/wait_cursor.h"

using kestrum::ControllerKey;

CConnectionWatch::CConnectionWatch(kestrum::CController& controller, CPropSheet& sheet,
                                   CStatusLine& status, QObject* parent)
    : QObject(parent), controller_(controller), sheet_(sheet), status_(status),
      devices_(std::make_unique<kestrum::DeviceWatch>())
{
    // Both sources call on their own threads: the events are queued here.
    connect(this, &CConnectionWatch::portLost, this, &CConnectionWatch::OnPortLost,
            Qt::QueuedConnection);
    connect(this, &CConnectionWatch::deviceAppeared, this, &CConnectionWatch::OnDeviceAppeared,
            Qt::QueuedConnection);
    controller.SetPortLostHandler([this] { emit portLost(); });
    devices_->Start(
        kestrum::PinnedPorts(),
        [this](const std::string& name) { emit deviceAppeared(QString::fromStdString(name)); },
        [this](const std::string& name) {
            // Windows tells a removed adapter this way, not by a hang-up;
            // the link decides whether it was the open port.
            QMetaObject::invokeMethod(
                this, [this, name] { controller_.PortRemoved(name); }, Qt::QueuedConnection);
        });
}

// The device watch ends first: nothing is queued here once it returned. The
// link ends before this object (it is a member of the main window, this a
// child), so its handler is never called on a watch that is gone.
CConnectionWatch::~CConnectionWatch()
{
    devices_->Stop();
}

bool CConnectionWatch::Watching() const
{
    return devices_->Running();
}

void CConnectionWatch::OnPortLost()
{
    SetPagesConnected(false);
}

void CConnectionWatch::OnDeviceAppeared(const QString&)
{
    // A controller that answers is left alone. One that does not (lost, or
    // a search that opened a device too early to answer) is looked for again.
    if (searching_ || controller_.Health().state == kestrum::LinkState::Answering) {
        return;
    }
    searching_ = true;
    std::optional<ControllerKey> key;
    {
        CWaitCursor wait;
        // Straight to the candidates: the lost port cannot answer a probe,
        // and a search that finds nothing says nothing.
        if (controller_.TryPorts(kestrum::SearchCandidates())) {
            key = kestrum::ReadControllerKey(controller_);
        }
    }
    searching_ = false;
    if (!key) {
        return;
    }
    const bool same = known_ && *known_ == *key;
    if (same) {
        SetPagesConnected(true);
        status_.ShowResult(QStringLiteral("Reconnected"));
    } else {
        AdoptAnother(*key, sheet_.ActivePage());
    }
    emit reconnected(same);
}

void CConnectionWatch::ControllerRead(const ControllerKey& key, CPropertyPage& reader)
{
    if (known_ && *known_ == key) {
        SetPagesConnected(true);
        return;
    }
    known_ = key;
    ShowIdentity(key);
    for (int i = 0; i < CPropSheet::kPageCount; ++i) {
        CPropertyPage* page = sheet_.Page(i);
        if (page != nullptr && page != &reader && page->WasActivated()) {
            page->ForgetController();
        }
    }
    reader.SetShowsConnected(true);
}

bool CConnectionWatch::CheckBeforeWrite(CPropertyPage& page)
{
    std::optional<ControllerKey> found;
    kestrum::ControllerCheck check = kestrum::ControllerCheck::Silent;
    {
        CWaitCursor wait;
        if (known_) {
            check = kestrum::CheckController(controller_, *known_, &found);
        } else if ((found = kestrum::ReadControllerKey(controller_))) {
            // Nothing identified before: what answers now is taken for the
            // controller on show, there being nothing to compare it with.
            known_ = found;
            check = kestrum::ControllerCheck::Same;
        }
    }
    switch (check) {
    case kestrum::ControllerCheck::Same:
        return true;
    case kestrum::ControllerCheck::Silent:
        kestrum::ShowNotResponding(&page);
        return false;
    case kestrum::ControllerCheck::Other:
        break;
    }
    AdoptAnother(*found, &page);
    kestrum::ShowMessageBox(QString::fromStdString(kestrum::AnotherControllerMessage(*found)),
                            QMessageBox::Ok, QMessageBox::Warning, &page);
    return false;
}

// A page that is to read the controller when next shown keeps its grey:
// what it shows is of another controller.
void CConnectionWatch::SetPagesConnected(bool connected)
{
    for (int i = 0; i < CPropSheet::kPageCount; ++i) {
        CPropertyPage* page = sheet_.Page(i);
        if (page != nullptr && (!connected || page->WasActivated())) {
            page->SetShowsConnected(connected);
        }
    }
}

void CConnectionWatch::AdoptAnother(const ControllerKey& key, CPropertyPage* readNow)
{
    known_ = key;
    ShowIdentity(key);
    status_.ShowResult(QStringLiteral("Another controller: %1, serial %2")
                           .arg(QString::fromStdString(key.ModelText()),
                                QString::fromStdString(key.SerialText())));
    for (int i = 0; i < CPropSheet::kPageCount; ++i) {
        CPropertyPage* page = sheet_.Page(i);
        if (page != nullptr && page != readNow) {
            page->ForgetController();
        }
    }
    if (readNow != nullptr) {
        readNow->ReadAgain();
    }
}

void CConnectionWatch::ShowIdentity(const ControllerKey& key)
{
    status_.SetIdentity(QStringLiteral("%1, serial %2")
                            .arg(QString::fromStdString(key.ModelText()),
                                 QString::fromStdString(key.SerialText())));
}
