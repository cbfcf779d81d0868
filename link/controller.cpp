#include "link/controller.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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

// The reader thread and the transaction holding the lock meet here only.
// `listening` and the answer hand-over are guarded by `mutex`; the answer
// signal is an auto-reset flag: a waiting transaction consumes it.
struct CController::Shared
{
    std::mutex transaction; // held for the whole of every transaction
    std::mutex mutex;
    std::condition_variable changed;
    bool listening = false;
    bool answerRaised = false;
    Packet answer{};

    void RaiseAnswer(const Packet& frame)
    {
        {
            std::lock_guard lock(mutex);
            answer = frame;
            answerRaised = true;
        }
        changed.notify_all();
    }

    // Waits at most `period` for the answer signal; consumes it and copies
    // the answer out when it came.
    bool WaitAnswer(std::chrono::milliseconds period, Packet& out)
    {
        std::unique_lock lock(mutex);
        if (!changed.wait_until(lock, Clock::now() + period, [this] { return answerRaised; }))
            return false;
        answerRaised = false;
        out = answer;
        return true;
    }

    void Wake()
    {
        {
            std::lock_guard lock(mutex);
        }
        changed.notify_all();
    }
};

CController::CController() : shared_(std::make_unique<Shared>()) {}

CController::~CController()
{
    // The reader uses shared_, which is destroyed before port_.
    port_.Close();
}

void CController::SetListening(bool on)
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->listening = on;
    }
    if (on) {
        shared_->changed.notify_all();
    } else {
        // A read already pending in the reader must not take the next byte:
        // bytes arriving between transactions stay queued in the port.
        port_.InterruptRead();
    }
}

void CController::ReaderThread(void* self)
{
    auto& link = *static_cast<CController*>(self);
    Shared& shared = *link.shared_;
    CSerialPort& port = link.port_;

    Packet frame{};
    std::size_t position = 0; // kept across transactions
    unsigned strays = 0;      // reset only by a header at a frame start
    constexpr unsigned kStrayLimit = 100;

    for (;;) {
        {
            std::unique_lock lock(shared.mutex);
            shared.changed.wait(lock, [&] { return shared.listening || port.StopRequested(); });
        }
        if (port.StopRequested())
            return;

        std::uint8_t byte = 0;
        const ReadResult result = port.ReadByte(byte);
        if (result == ReadResult::Failure)
            return;
        if (result == ReadResult::NoByte)
            continue;

        if (position == 0) {
            if (byte != kAnswerHeader) {
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
        }
    }
}

bool CController::OpenLink()
{
    if (!port_.Open())
        return false;
    return port_.StartReader(&CController::ReaderThread, this, [this] { shared_->Wake(); });
}

bool CController::Transact(Packet& request, bool quiet)
{
    const int attempts = quiet ? 1 : timings_.readWriteTries.load();
    const std::chrono::milliseconds period(timings_.retryDelay.load());
    bool success = false;
    {
        std::lock_guard lock(shared_->transaction);
        for (int attempt = 0; attempt < attempts && !success; ++attempt) {
            port_.Write(request.data(), request.size());
            SetListening(true);
            for (int wait = 0; wait < attempts; ++wait) {
                Packet answer{};
                if (!shared_->WaitAnswer(period, answer))
                    continue;
                if (AnswersRequest(answer, request)) {
                    request[3] = answer[3];
                    request[4] = answer[4];
                    request[5] = answer[5];
                    success = true;
                }
                break; // a wrong answer ends the attempt: send again
            }
        }
        SetListening(false);
    }
    if (!success && !quiet)
        throw CControllerException();
    return success;
}

bool CController::WriteVerified(const Packet& write)
{
    const std::uint8_t code = ReadBackCode(write[1]);
    const Packet readBack = MakeRequest(static_cast<Command>(code), write[2], write[3]);
    const int attempts = timings_.readWriteTries.load();
    const std::chrono::milliseconds period(timings_.retryDelay.load());
    const std::chrono::milliseconds writeDelay(timings_.writeDelay.load());
    bool success = false;
    {
        std::lock_guard lock(shared_->transaction);
        for (int attempt = 0; attempt < attempts && !success; ++attempt) {
            port_.Write(write.data(), write.size());
            std::this_thread::sleep_for(writeDelay);
            port_.Write(readBack.data(), readBack.size());
            SetListening(true);
            for (int wait = 0; wait < attempts; ++wait) {
                Packet answer{};
                if (!shared_->WaitAnswer(period, answer))
                    continue;
                success = ConfirmsWrite(answer, write, code);
                break; // another value repeats the whole write
            }
            SetListening(false);
        }
    }
    if (!success)
        throw CControllerException();
    return true;
}

bool CController::ReadFlash(std::uint16_t address, std::uint16_t& word)
{
    if (timings_.readWriteTries.load() <= 0)
        return false;
    Packet request = MakeRequest(Command::ReadFlash, Low8(address), Low8(address >> 8u));
    if (!Transact(request, false))
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
    if (timings_.readWriteTries.load() <= 0)
        return false;
    Packet request = MakeRequest(Command::ReadEeprom, Low8(address));
    if (!Transact(request, false))
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
    Packet request = MakeRequest(Command::ReadRam, Low8(address));
    if (!Transact(request, false))
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
    const std::size_t written = port_.Write(request.data(), request.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.resetDelay.load()));
    return written == request.size();
}

bool CController::ProbeController()
{
    Packet request = MakeRequest(Command::ReadEeprom, 127);
    return Transact(request, true);
}

} // namespace kestrum
