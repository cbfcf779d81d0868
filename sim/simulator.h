#pragma once

#include "link/packet.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A simulated motor controller on the master side of a pseudo-terminal. The
// tool opens the slave path like any serial port. Every public member is
// safe to call from any thread while the simulator serves.
namespace kestrum::sim {

inline constexpr std::size_t kEepromSize = 256;
inline constexpr std::size_t kFlashWords = 32768;
inline constexpr std::size_t kRamSize = 256;

// Named misbehaviours, so retries and failures can be tested.
struct Faults
{
    bool silent = false;                      // answer nothing (writes still land)
    std::chrono::milliseconds answerDelay{0}; // before each answer
    unsigned dropEvery = 0;                   // drop every Nth answer (0: never)
    unsigned corruptEvery = 0;                // bad checksum on every Nth answer
    bool wrongCode = false;                   // answer with another read code (0>2>4>0)
    bool wrongAddress = false;                // answer with another address
    bool wrongValue = false;                  // read-backs and reads give another value
    bool wrongAddressHigh = false;            // FLASH answers carry another address high byte
    unsigned dropFirst = 0;                   // drop the first K answers, then answer
    // Interruptions at a chosen request, counted from SetFaults (1 = the first):
    unsigned silentFrom = 0; // from the Kth on, carry requests out but answer nothing
    unsigned hangUpAt = 0;   // close the line when the Kth arrives, before carrying it out
};

struct Options
{
    std::uint8_t modelCode = 0;   // 0: keep the default image's model code
    bool pacing = false;          // 9600 bit/s wire pacing, about 1.04 ms per byte
    bool liveGauges = true;       // gauges move over time
    bool recordTranscript = true; // off for long runs (kestrum-sim), where it would only grow
};

class Simulator
{
public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal pair and starts serving. False on failure.
    bool Start();
    void Stop();
    // The slave side's path, to be opened by the tool.
    const std::string& PortPath() const;

    std::uint8_t Eeprom(std::uint8_t address) const;
    void SetEeprom(std::uint8_t address, std::uint8_t value);
    std::uint16_t Flash(std::uint16_t address) const;
    void SetFlash(std::uint16_t address, std::uint16_t word);
    std::uint8_t Ram(std::uint8_t address) const;
    void SetRam(std::uint8_t address, std::uint8_t value);

    // The non-volatile memories (EEPROM and FLASH) in the file format that
    // kestrum-sim --help describes. Loading is all-or-nothing and then acts
    // as a power-up: RAM is cleared and the mode byte follows FLASH word 2.
    bool LoadImage(const std::string& path);
    bool SaveImage(const std::string& path) const;

    // Also restarts the answer count that dropEvery, corruptEvery and
    // dropFirst use, and the request count of silentFrom and hangUpAt, so
    // "every Nth" counts from this call.
    void SetFaults(const Faults& faults);
    void SetPacing(bool on);
    // With live gauges off, RAM reads return exactly what SetRam stored.
    void SetLiveGauges(bool on);
    // Writes raw bytes to the tool, e.g. K stray bytes or a late frame.
    void SendRaw(const std::vector<std::uint8_t>& bytes);
    // Closes the master side, as an unplugged adapter would.
    void HangUp();

    // Called on the serving thread with every well-formed request, before it
    // is answered (kestrum-sim --trace prints them). Must not call back into
    // the simulator's serving (HangUp, Stop).
    void SetRequestObserver(std::function<void(const Packet&)> observer);

    // Every well-formed request received, in order (bad checksums excluded).
    std::vector<Packet> Transcript() const;
    void ClearTranscript();
    // Waits (on a condition, not by polling) until the transcript holds at
    // least `count` requests; false on time-out.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace kestrum::sim
