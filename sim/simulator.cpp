#include "sim/simulator.h"

#include "sim/gauges.h"
#include "sim/memory_image.h"
#include "sim/pty.h"
#include "sim/request_assembler.h"
#include "sim/responder.h"
#include "sim/wire.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

namespace kestrum::sim {

// Two locks: `mutex` guards the memories and everything a test may set or
// read; `wireMutex` serialises writes to the master (answers from the serving
// thread, raw bytes from any thread) and is never taken while holding `mutex`.
struct Simulator::State
{
    explicit State(const Options& o)
        : image(std::make_unique<MemoryImage>(DefaultImage())), pacing(o.pacing),
          liveGauges(o.liveGauges), recordTranscript(o.recordTranscript)
    {
        if (o.modelCode != 0)
            image->eeprom[layout::kModelCode] = o.modelCode;
    }

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::unique_ptr<MemoryImage> image;
    Faults faults;
    unsigned answersCounted = 0;
    unsigned requestsCounted = 0;
    bool pacing;
    bool liveGauges;
    const bool recordTranscript;
    std::vector<Packet> transcript;
    std::function<void(const Packet&)> observer;
    Clock::time_point started = Clock::now();
    bool serving = false;
    bool hungUp = false;

    std::mutex wireMutex;
    PtyPair pty; // master and slave change only under wireMutex once serving
    Clock::time_point lineFreeAt{};
    std::string path;
    Interrupts interrupts;
    std::atomic<bool> hangUpRequested{false};
    std::thread thread;

    void Serve();
    // False when the request hung the line up (Faults::hangUpAt).
    bool Handle(const Packet& request, Clock::time_point arrived);
    // Paced, the first byte starts crossing the line at `earliest` or when
    // the line is free, whichever is later.
    void WriteToTool(const std::uint8_t* data, std::size_t length, bool paced,
                     Clock::time_point earliest);
    void CloseLine();
};

void Simulator::State::Serve()
{
    // Pacing sleeps to within microseconds of a byte's due time; the default
    // 50 us timer slack would be a twentieth of a byte on every wake-up.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    RequestAssembler assembler;
    Clock::time_point received{}; // when the last byte read finished crossing the line
    for (;;) {
        const int master = pty.master; // only this thread changes it while serving
        pollfd fds[3] = {
            {interrupts.stop, POLLIN, 0}, {interrupts.wake, POLLIN, 0}, {master, POLLIN, 0}};
        const int ready = poll(fds, master >= 0 ? 3 : 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[0].revents != 0)
            break;
        if (fds[1].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = read(interrupts.wake, &count, sizeof count);
            if (hangUpRequested.load())
                CloseLine();
            continue;
        }
        if (master < 0 || fds[2].revents == 0)
            continue;

        std::uint8_t bytes[256];
        const ssize_t n = read(master, bytes, sizeof bytes);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            // The line is gone for good (we hold a slave open, so this is
            // not a client closing the port): stop watching it.
            CloseLine();
            continue;
        }
        bool paced;
        {
            std::lock_guard lock(mutex);
            paced = pacing;
        }
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            // Paced, a byte is not in until its ten bits have crossed the line.
            received = paced ? std::max(received, now) + kByteTime : now;
            if (const auto request = assembler.Feed(bytes[i]);
                request && !Handle(*request, received)) {
                CloseLine();
                break;
            }
        }
    }
    std::lock_guard lock(mutex);
    serving = false;
    changed.notify_all();
}

bool Simulator::State::Handle(const Packet& request, Clock::time_point arrived)
{
    std::function<void(const Packet&)> observe;
    {
        std::lock_guard lock(mutex);
        observe = observer;
    }
    if (observe)
        observe(request);
    std::optional<Packet> answer;
    bool drop = false;
    bool corrupt = false;
    bool paced = false;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(mutex);
        if (recordTranscript) {
            transcript.push_back(request);
            changed.notify_all();
        }
        const unsigned requestNumber = ++requestsCounted;
        if (faults.hangUpAt != 0 && requestNumber == faults.hangUpAt)
            return false;
        if (request[1] == static_cast<std::uint8_t>(Command::ReadRam) && liveGauges)
            UpdateGauges(*image, std::chrono::duration<double>(Clock::now() - started).count());
        answer = Respond(*image, request);
        const bool silenced = faults.silentFrom != 0 && requestNumber >= faults.silentFrom;
        if (!answer || faults.silent || silenced)
            return true;
        const unsigned n = ++answersCounted;
        drop = n <= faults.dropFirst || (faults.dropEvery != 0 && n % faults.dropEvery == 0);
        corrupt = faults.corruptEvery != 0 && n % faults.corruptEvery == 0;
        Falsify(*answer, faults);
        delay = faults.answerDelay;
        paced = pacing;
    }
    if (drop)
        return true;
    if (corrupt)
        (*answer)[6] ^= 0xFF;
    // Paced, the wait is part of the byte schedule, so a late wake-up here
    // cannot add to the answer's time on the line.
    if (!paced && !SleepUntil(arrived + delay, interrupts))
        return true;
    WriteToTool(answer->data(), answer->size(), paced, arrived + delay);
    return true;
}

void Simulator::State::WriteToTool(const std::uint8_t* data, std::size_t length, bool paced,
                                   Clock::time_point earliest)
{
    std::lock_guard lock(wireMutex);
    if (pty.master < 0)
        return;
    if (!paced) {
        WriteAll(pty.master, data, length, interrupts);
        return;
    }
    // Byte by byte against absolute deadlines, so sleeping late never
    // accumulates: each byte is handed over when its last bit would arrive.
    const auto start = std::max(earliest, lineFreeAt);
    for (std::size_t i = 0; i < length; ++i) {
        const auto due = start + kByteTime * static_cast<long>(i + 1);
        if (!SleepUntil(due, interrupts) || !WriteAll(pty.master, data + i, 1, interrupts))
            return;
        lineFreeAt = due;
    }
}

void Simulator::State::CloseLine()
{
    {
        std::lock_guard wireLock(wireMutex);
        ClosePtyPair(pty);
    }
    std::lock_guard lock(mutex);
    hungUp = true;
    changed.notify_all();
}

Simulator::Simulator(Options options) : state_(std::make_unique<State>(options)) {}

Simulator::~Simulator()
{
    Stop();
}

bool Simulator::Start()
{
    State& s = *state_;
    if (s.thread.joinable())
        return true;
    PtyPair pty;
    if (!OpenPtyPair(pty))
        return false;
    const int stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0 || wake < 0) {
        if (stop >= 0)
            close(stop);
        if (wake >= 0)
            close(wake);
        ClosePtyPair(pty);
        return false;
    }
    s.pty = pty;
    s.path = pty.slavePath;
    s.interrupts = {stop, wake};
    s.hangUpRequested = false;
    s.lineFreeAt = {};
    {
        std::lock_guard lock(s.mutex);
        s.serving = true;
        s.hungUp = false;
        s.started = Clock::now();
    }
    s.thread = std::thread([&s] { s.Serve(); });
    return true;
}

void Simulator::Stop()
{
    State& s = *state_;
    if (!s.thread.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(s.interrupts.stop, &one, sizeof one);
    s.thread.join();
    std::lock_guard wireLock(s.wireMutex);
    ClosePtyPair(s.pty);
    close(s.interrupts.stop);
    close(s.interrupts.wake);
    s.interrupts = {};
}

const std::string& Simulator::PortPath() const
{
    return state_->path;
}

std::uint8_t Simulator::Eeprom(std::uint8_t address) const
{
    std::lock_guard lock(state_->mutex);
    return state_->image->eeprom[address];
}

void Simulator::SetEeprom(std::uint8_t address, std::uint8_t value)
{
    std::lock_guard lock(state_->mutex);
    state_->image->eeprom[address] = value;
}

std::uint16_t Simulator::Flash(std::uint16_t address) const
{
    std::lock_guard lock(state_->mutex);
    return state_->image->flash[address % kFlashWords];
}

void Simulator::SetFlash(std::uint16_t address, std::uint16_t word)
{
    std::lock_guard lock(state_->mutex);
    state_->image->flash[address % kFlashWords] = word;
}

std::uint8_t Simulator::Ram(std::uint8_t address) const
{
    std::lock_guard lock(state_->mutex);
    return state_->image->ram[address];
}

void Simulator::SetRam(std::uint8_t address, std::uint8_t value)
{
    std::lock_guard lock(state_->mutex);
    state_->image->ram[address] = value;
}

bool Simulator::LoadImage(const std::string& path)
{
    // Read outside the lock; the swap under it is all-or-nothing.
    auto loaded = std::make_unique<MemoryImage>();
    if (!LoadImageFile(*loaded, path))
        return false;
    std::lock_guard lock(state_->mutex);
    state_->image = std::move(loaded);
    return true;
}

bool Simulator::SaveImage(const std::string& path) const
{
    auto copy = std::make_unique<MemoryImage>();
    {
        std::lock_guard lock(state_->mutex);
        *copy = *state_->image;
    }
    return SaveImageFile(*copy, path);
}

void Simulator::SetFaults(const Faults& faults)
{
    std::lock_guard lock(state_->mutex);
    state_->faults = faults;
    state_->answersCounted = 0;
    state_->requestsCounted = 0;
}

void Simulator::SetPacing(bool on)
{
    std::lock_guard lock(state_->mutex);
    state_->pacing = on;
}

void Simulator::SetLiveGauges(bool on)
{
    std::lock_guard lock(state_->mutex);
    state_->liveGauges = on;
}

void Simulator::SendRaw(const std::vector<std::uint8_t>& bytes)
{
    bool paced;
    {
        std::lock_guard lock(state_->mutex);
        paced = state_->pacing;
    }
    state_->WriteToTool(bytes.data(), bytes.size(), paced, Clock::now());
}

void Simulator::HangUp()
{
    State& s = *state_;
    if (!s.thread.joinable())
        return;
    s.hangUpRequested = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(s.interrupts.wake, &one, sizeof one);
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&s] { return s.hungUp || !s.serving; });
}

void Simulator::SetRequestObserver(std::function<void(const Packet&)> observer)
{
    std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

std::vector<Packet> Simulator::Transcript() const
{
    std::lock_guard lock(state_->mutex);
    return state_->transcript;
}

void Simulator::ClearTranscript()
{
    std::lock_guard lock(state_->mutex);
    state_->transcript.clear();
}

bool Simulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout,
                                    [this, count] { return state_->transcript.size() >= count; });
}

} // namespace kestrum::sim
