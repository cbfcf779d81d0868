#include "link/controller.h"

#include "link/port_names.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrum {

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t Low8(unsigned value)
{
    return static_cast<std::uint8_t>(value & 0xFFu);
}

std::uint8_t ReadBackCode(std::uint8_t writeCode)
{
    if (writeCode == static_cast<std::uint8_t>(Command::WriteFlash))
        return static_cast<std::uint8_t>(Command::ReadFlash);
    if (writeCode == static_cast<std::uint8_t>(Command::WriteEeprom))
        return static_cast<std::uint8_t>(Command::ReadEeprom);
    return static_cast<std::uint8_t>(Command::ReadRam);
}

// How many frames answering other requests a probe looks past.
constexpr int kProbeStaleFrames = 3;

// Whether `answer` answers the read `request` (same code and address; a
// FLASH read also carries the address high byte back).
bool AnswersRequest(const Packet& answer, const Packet& request)
{
    if (answer[0] != kAnswerHeader || answer[1] != request[1] || answer[2] != request[2])
        return false;
    return request[1] != static_cast<std::uint8_t>(Command::ReadFlash) || answer[3] == request[3];
}

// Whether the read-back `answer` shows the value of the `write`.
bool ConfirmsWrite(const Packet& answer, const Packet& write, std::uint8_t readBackCode)
{
    if (answer[0] != kAnswerHeader || answer[1] != readBackCode || answer[2] != write[2])
        return false;
    switch (static_cast<Command>(readBackCode)) {
    case Command::ReadFlash:
        return answer[3] == write[3] && answer[4] == write[4] && answer[5] == write[5];
    case Command::ReadEeprom:
        return answer[4] == write[4];
    default:
        return answer[3] == write[4]; // the RAM answer's first byte
    }
}

} // namespace

// What the reader thread and the transaction holding the lock share.
// `listening` tells the reader whether to read at all (the port's wake signal
// makes it look again); the answer hand-over is an auto-reset flag under its
// own mutex, consumed by the waiting transaction.
struct CController::Shared
{
    std::mutex transaction; // held for the whole of every transaction
    std::atomic<bool> listening{false};

    std::mutex answerMutex;
    std::condition_variable answerReady;
    bool answerRaised = false;
    Packet answer{};

    void RaiseAnswer(const Packet& frame)
    {
        {
            std::lock_guard lock(answerMutex);
            answer = frame;
            answerRaised = true;
        }
        answerReady.notify_one();
    }

    // Waits at most `period` for the answer signal; consumes it and copies
    // the answer out when it came.
    bool WaitAnswer(std::chrono::milliseconds period, Packet& out)
    {
        std::unique_lock lock(answerMutex);
        if (!answerReady.wait_for(lock, period, [this] { return answerRaised; }))
            return false;
        answerRaised = false;
        out = answer;
        return true;
    }
};

namespace {

// The timings one operation runs with, read once under the link's lock: a
// change made meanwhile in the Timings dialog governs the next operation,
// never half of this one.
struct OperationTimings
{
    int attempts;
    std::chrono::milliseconds period;
    std::chrono::milliseconds writeDelay;
    std::chrono::milliseconds resetDelay;
};

OperationTimings Snapshot(const CommTimings& timings)
{
    return {timings.readWriteTries.load(), std::chrono::milliseconds(timings.retryDelay.load()),
            std::chrono::milliseconds(timings.writeDelay.load()),
            std::chrono::milliseconds(timings.resetDelay.load())};
}

} // namespace

CController::CController() : shared_(std::make_unique<Shared>()) {}

CController::~CController()
{
    // The reader uses shared_, which is destroyed before port_.
    port_.Close();
}

// Either way the reader is woken to look at the flag again: to start reading,
// or to end a pending read without taking a byte, so that bytes arriving
// between transactions stay queued in the port.
void CController::SetListening(bool on)
{
    shared_->listening.store(on);
    port_.WakeReader();
}

void CController::ReaderThread(void* self)
{
    auto& link = *static_cast<CController*>(self);
    Shared& shared = *link.shared_;
    CSerialPort& port = link.port_;
    LinkHealth& health = link.health_;

    Packet frame{};
    std::size_t position = 0; // kept across transactions
    unsigned strays = 0;      // reset only by a header at a frame start
    constexpr unsigned kStrayLimit = 100;

    for (;;) {
        if (!shared.listening.load()) {
            if (port.WaitForWake())
                continue;
            // Stopped, or the line hung up while idle: the latter is told at
            // once, so a lost adapter shows before any command fails.
            if (port.HungUp())
                link.ReportPortLost();
            return;
        }
        std::uint8_t byte = 0;
        const ReadResult result = port.ReadByte(byte);
        if (result == ReadResult::Failure) {
            // A hang-up or port error; when the port is being closed the
            // state shows "no port" anyway.
            if (port.HungUp())
                link.ReportPortLost();
            else
                health.PortLost();
            return;
        }
        if (result == ReadResult::NoByte)
            continue;

        if (position == 0) {
            if (byte != kAnswerHeader) {
                health.Count(LinkHealth::Counter::StrayBytes);
                if (++strays > kStrayLimit)
                    return;
                continue;
            }
            strays = 0;
        }
        frame[position++] = byte;
        if (position == kPacketSize) {
            position = 0;
            if (HasValidChecksum(frame) && IsWakingAnswerCode(frame[1]))
                shared.RaiseAnswer(frame);
            else
                health.Count(LinkHealth::Counter::RefusedFrames);
        }
    }
}

bool CController::OpenLink()
{
    if (!port_.Open())
        return false;
    health_.PortOpened();
    quality_.Reset();
    return port_.StartReader(&CController::ReaderThread, this);
}

bool CController::Transact(Packet& request, TransactKind kind)
{
    bool success = false;
    {
        std::lock_guard lock(shared_->transaction);
        const OperationTimings timings = Snapshot(timings_);
        if (kind == TransactKind::Read && timings.attempts <= 0)
            return false; // a read with no attempts fails quietly, sending nothing
        const int attempts = kind == TransactKind::Probe ? 1 : timings.attempts;
        if (attempts > 0)
            health_.Count(LinkHealth::Counter::Transactions);
        int sent = 0;
        for (int attempt = 0; attempt < attempts && !success; ++attempt) {
            ++sent;
            if (attempt > 0)
                health_.Count(LinkHealth::Counter::Resends);
            port_.Write(request.data(), request.size());
            SetListening(true);
            bool answered = false;
            int waits = attempts;
            for (int wait = 0; wait < waits && !answered; ++wait) {
                Packet answer{};
                answered = shared_->WaitAnswer(timings.period, answer);
                if (!answered)
                    continue;
                if (AnswersRequest(answer, request)) {
                    request[3] = answer[3];
                    request[4] = answer[4];
                    request[5] = answer[5];
                    success = true;
                } else {
                    // A wrong answer ends the attempt: send again. The probe
                    // is sent only once, so it listens on past a few frames
                    // meant for another request (left on the line by a run
                    // that was killed): its own answer follows them.
                    health_.Count(LinkHealth::Counter::RefusedFrames);
                    if (kind == TransactKind::Probe && waits <= kProbeStaleFrames) {
                        answered = false;
                        ++waits;
                    }
                }
            }
            if (!answered)
                health_.Count(LinkHealth::Counter::Timeouts);
        }
        SetListening(false);
        RecordOutcome(success);
        // A probe is sent once by design: it says nothing of the line.
        if (kind != TransactKind::Probe && sent > 0)
            quality_.Record(sent > 1);
    }
    if (!success && kind != TransactKind::Probe)
        throw CControllerException();
    return success;
}

bool CController::WriteVerified(const Packet& write)
{
    const std::uint8_t code = ReadBackCode(write[1]);
    const Packet readBack = MakeRequest(static_cast<Command>(code), write[2], write[3]);
    bool success = false;
    {
        std::lock_guard lock(shared_->transaction);
        const OperationTimings timings = Snapshot(timings_);
        if (timings.attempts > 0)
            health_.Count(LinkHealth::Counter::Transactions);
        int sent = 0;
        for (int attempt = 0; attempt < timings.attempts && !success; ++attempt) {
            ++sent;
            if (attempt > 0)
                health_.Count(LinkHealth::Counter::Resends);
            port_.Write(write.data(), write.size());
            std::this_thread::sleep_for(timings.writeDelay);
            port_.Write(readBack.data(), readBack.size());
            SetListening(true);
            bool answered = false;
            for (int wait = 0; wait < timings.attempts && !answered; ++wait) {
                Packet answer{};
                answered = shared_->WaitAnswer(timings.period, answer);
                // Another value repeats the whole write.
                if (answered)
                    success = ConfirmsWrite(answer, write, code);
            }
            if (!answered)
                health_.Count(LinkHealth::Counter::Timeouts);
            SetListening(false);
        }
        RecordOutcome(success);
        if (sent > 0)
            quality_.Record(sent > 1);
    }
    if (!success)
        throw CControllerException();
    return true;
}

void CController::RecordOutcome(bool answered)
{
    if (answered)
        health_.Answered(Clock::now());
    else
        health_.Unanswered();
}

bool CController::ReadFlash(std::uint16_t address, std::uint16_t& word)
{
    Packet request = MakeRequest(Command::ReadFlash, Low8(address), Low8(address >> 8u));
    if (!Transact(request, TransactKind::Read))
        return false;
    word = static_cast<std::uint16_t>(request[4] | (request[5] << 8u));
    return true;
}

bool CController::ReadFlashByte(std::uint16_t address, std::uint8_t& byte)
{
    std::uint16_t word = 0;
    if (!ReadFlash(address, word))
        return false;
    byte = Low8(word);
    return true;
}

bool CController::WriteFlash(std::uint16_t address, std::uint16_t word)
{
    return WriteVerified(MakeRequest(Command::WriteFlash, Low8(address), Low8(address >> 8u),
                                     Low8(word), Low8(word >> 8u)));
}

bool CController::ReadEeprom(unsigned address, std::uint8_t& byte)
{
    Packet request = MakeRequest(Command::ReadEeprom, Low8(address));
    if (!Transact(request, TransactKind::Read))
        return false;
    byte = request[4];
    return true;
}

bool CController::ReadEepromWord(unsigned address, std::uint16_t& value)
{
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    if (!ReadEeprom(address, low) || !ReadEeprom((address + 1u) & 0xFFu, high))
        return false;
    value = static_cast<std::uint16_t>(low | (high << 8u));
    return true;
}

bool CController::WriteEeprom(unsigned address, unsigned data)
{
    return WriteVerified(MakeRequest(Command::WriteEeprom, Low8(address), 0, Low8(data)));
}

bool CController::ReadRam(unsigned address, std::uint8_t (&bytes)[3])
{
    // Unlike the other reads, a RAM read with no attempts raises at once.
    Packet request = MakeRequest(Command::ReadRam, Low8(address));
    if (!Transact(request, TransactKind::RamRead))
        return false;
    bytes[0] = request[3];
    bytes[1] = request[4];
    bytes[2] = request[5];
    return true;
}

bool CController::WriteRam(unsigned address, unsigned data)
{
    return WriteVerified(MakeRequest(Command::WriteRam, Low8(address), 0, Low8(data)));
}

bool CController::ResetController()
{
    const Packet request = MakeRequest(Command::Reset, 0);
    std::lock_guard lock(shared_->transaction);
    const OperationTimings timings = Snapshot(timings_);
    const std::size_t written = port_.Write(request.data(), request.size());
    std::this_thread::sleep_for(timings.resetDelay);
    return written == request.size();
}

void CController::SetPortLostHandler(std::function<void()> handler)
{
    std::lock_guard lock(lostMutex_);
    portLostHandler_ = std::move(handler);
}

void CController::ReportPortLost()
{
    health_.PortLost();
    std::function<void()> handler;
    {
        std::lock_guard lock(lostMutex_);
        handler = portLostHandler_;
    }
    if (handler)
        handler();
}

// A notification whose port name could not be resolved still counts when
// the open port is no longer among the present ones.
void CController::PortRemoved(const std::string& name)
{
    if (!port_.IsOpen())
        return;
    const auto same = [this](const std::string& other) {
        return std::equal(
            other.begin(), other.end(), port_.Name().begin(), port_.Name().end(),
            [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
    };
    const std::vector<std::string> present =
        name.empty() ? ListPresentPorts() : std::vector<std::string>{};
    if (name.empty() ? std::none_of(present.begin(), present.end(), same) : same(name))
        ReportPortLost();
}

bool CController::ProbeController()
{
    Packet request = MakeRequest(Command::ReadEeprom, 127);
    return Transact(request, TransactKind::Probe);
}

} // namespace kestrum
