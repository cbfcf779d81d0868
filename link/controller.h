#pragma once

#include "link/comm_timings.h"
#include "link/line_quality.h"
#include "link/link_health.h"
#include "link/packet.h"
#include "link/serial_port.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// CController: the controller link, the only path between the tool and the
// motor controller. One lock serialises whole transactions, so the Monitor's
// polling worker and the user-interface thread never interleave on the wire.
// Every operation blocks its caller for the whole transaction.
namespace kestrum {

// What the user is told, by the window and the command line alike, when the
// controller gives no acceptable answer.
constexpr const char* NotRespondingText()
{
    return "Motor controller is not responding";
}

// Raised when the controller gives no acceptable answer within the attempts.
class CControllerException : public std::exception
{
public:
    const char* what() const noexcept override { return NotRespondingText(); }
};

class CController
{
public:
    CController();
    virtual ~CController();
    CController(const CController&) = delete;
    CController& operator=(const CController&) = delete;

    bool ReadFlash(std::uint16_t address, std::uint16_t& word);
    bool ReadFlashByte(std::uint16_t address, std::uint8_t& byte);
    bool WriteFlash(std::uint16_t address, std::uint16_t word);
    bool ReadEeprom(unsigned address, std::uint8_t& byte);
    bool ReadEepromWord(unsigned address, std::uint16_t& value);
    bool WriteEeprom(unsigned address, unsigned data);
    bool ReadRam(unsigned address, std::uint8_t (&bytes)[3]);
    bool WriteRam(unsigned address, unsigned data);
    bool ResetController();
    bool ProbeController();
    bool OpenLink();

    // Makes sure a controller answers on the open port, searching the serial
    // ports when it does not. False after the user was told (see SetNotifier).
    bool LocateController();
    // `refused`, when given, receives the candidates that refused to open
    // because of permissions or another program holding them.
    struct RefusedPort
    {
        std::string name;
        OpenRefusal why;
    };
    bool TryPorts(const std::vector<std::string>& candidates,
                  std::vector<RefusedPort>* refused = nullptr);

    // Receives the user-facing message of a failed search ("Cannot locate
    // Motor controller"); the application routes it to its message box.
    void SetNotifier(std::function<void(const std::string&)> notifier);

    // Called on the reader thread the moment the open port hangs up or fails
    // (an adapter unplugged), also while no transaction runs; the state is
    // then LinkState::PortLost. Set it before the link is opened, or from
    // the thread that opens it: it is not called for a port being closed.
    void SetPortLostHandler(std::function<void()> handler);
    // Where the platform tells of a removed device rather than hanging the
    // port up (Windows): the link takes the open port named `name` for lost,
    // as if it had hung up. Nothing happens for another name. An empty name
    // (the platform did not say which) counts when the open port is no
    // longer present.
    void PortRemoved(const std::string& name);

    CommTimings& Timings() { return timings_; }
    // Counters and state of the link, from any thread, without waiting.
    LinkHealthSnapshot Health() const { return health_.Snapshot(port_.IsOpen()); }
    // How many of the last transactions needed a resend, from any thread.
    LineQualitySnapshot Quality() const { return quality_.Snapshot(); }
    CSerialPort& Port() { return port_; }
    bool IsPortOpen() const { return port_.IsOpen(); }

    struct Shared; // state shared with the reader thread

private:
    // Probe: one send, one wait, never raises. Read: false without traffic
    // when there are no attempts. RamRead: raises then instead.
    enum class TransactKind
    {
        Probe,
        Read,
        RamRead
    };

    static void ReaderThread(void* self);
    void SetListening(bool on);
    bool Transact(Packet& request, TransactKind kind);
    bool WriteVerified(const Packet& write);
    void RecordOutcome(bool answered);
    void Notify(const std::string& message);
    void ReportPortLost();

    CSerialPort port_;
    CommTimings timings_;
    LinkHealth health_;
    LineQuality quality_;
    std::unique_ptr<Shared> shared_;
    std::function<void(const std::string&)> notifier_;
    std::mutex lostMutex_; // the handler is called from the reader thread
    std::function<void()> portLostHandler_;
};

// "Cannot locate Motor controller", with what to do about the ports that
// refused to open beneath it. `named`: the ports were named by the user
// (KESTRUM_PORTS, a command line), so every refusal counts; otherwise only
// those of ports that are present.
std::string CannotLocateMessage(const std::vector<CController::RefusedPort>& refused, bool named);

} // namespace kestrum
