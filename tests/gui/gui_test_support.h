#pragma once

// Shared helpers of the widget tests: a simulated controller on a real
// pseudo-terminal that the port search finds through KESTRUM_PORTS, a
// private settings store per test, a message-box recorder, and waiting on
// conditions while events are processed.

#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "app/prop_sheet.h"
#include "link/packet.h"
#include "sim/simulator.h"
#include "ui/message_box.h"
#include "ui/property_page.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kestrum::test {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Processes events until `condition` holds; false after `timeoutMs`.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// The settings store of one test: a fresh folder, handed to QSettings for the
// native user scope, with helpers to store values before start-up.
class TempSettings
{
public:
    TempSettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    }
    void Set(const std::map<QString, QVariant>& values)
    {
        QSettings store;
        store.beginGroup(QStringLiteral("Settings"));
        for (const auto& [name, value] : values) {
            store.setValue(name, value);
        }
        store.sync();
    }
    // The stored value, or an invalid QVariant when missing.
    QVariant Get(const QString& name) const
    {
        QSettings store;
        store.beginGroup(QStringLiteral("Settings"));
        return store.value(name);
    }
    QStringList Names() const
    {
        QSettings store;
        store.beginGroup(QStringLiteral("Settings"));
        return store.childKeys();
    }
    // Short waits, so that searches and failures take milliseconds.
    void SetFastTimings() { Set({{"RetryDelay", 30}, {"WriteDelay", 5}, {"ResetDelay", 5}}); }

private:
    QTemporaryDir dir_;
};

// Records every message box instead of showing it and answers `answer`.
class MessageBoxRecorder
{
public:
    explicit MessageBoxRecorder(int answer = QMessageBox::Ok)
    {
        SetMessageBoxHandler([this, answer](const MessageBoxRequest& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHandler({}); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList Texts() const
    {
        QStringList texts;
        for (const MessageBoxRequest& request : requests) {
            texts.append(request.text);
        }
        return texts;
    }

    std::vector<MessageBoxRequest> requests;
};

// A simulated controller, and KESTRUM_PORTS pointing the search at it.
class SimulatorOnPort
{
public:
    explicit SimulatorOnPort(sim::Options options = {}) : sim_(options)
    {
        started_ = sim_.Start();
        if (started_) {
            ports_.emplace("KESTRUM_PORTS", sim_.PortPath());
        }
    }
    bool Started() const { return started_; }
    sim::Simulator& operator*() { return sim_; }
    sim::Simulator* operator->() { return &sim_; }
    // Puts `table` where the controller's table pointer (EEPROM 0-1) points.
    template<class Table>
    void SetThrottleTable(const Table& table)
    {
        const std::uint16_t base = sim_.Eeprom(0) | (sim_.Eeprom(1) << 8);
        for (std::size_t i = 0; i < table.size(); ++i)
            sim_.SetFlash(static_cast<std::uint16_t>(base + i),
                          static_cast<std::uint16_t>(0x3400 + table[i]));
    }

private:
    sim::Simulator sim_;
    bool started_ = false;
    std::optional<ScopedEnv> ports_;
};

// No controller anywhere: the listing names one path that does not exist,
// and the "COMn" names lead into an empty folder (see main.cpp).
class NoController
{
public:
    NoController() : ports_("KESTRUM_PORTS", dir_.filePath("absent").toStdString()) {}

private:
    QTemporaryDir dir_;
    ScopedEnv ports_;
};

inline CMonitorApp& App()
{
    return *qobject_cast<CMonitorApp*>(QCoreApplication::instance());
}

// The bytes of a packet, for comparing transcripts.
inline std::vector<std::uint8_t> Bytes(const Packet& packet)
{
    return std::vector<std::uint8_t>(packet.begin(), packet.end());
}

inline std::vector<std::vector<std::uint8_t>> TranscriptBytes(const sim::Simulator& sim)
{
    std::vector<std::vector<std::uint8_t>> result;
    for (const Packet& packet : sim.Transcript()) {
        result.push_back(Bytes(packet));
    }
    return result;
}

inline const std::vector<std::uint8_t> kProbe = {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24};

} // namespace kestrum::test
