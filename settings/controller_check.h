#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Which controller is at the other end of the cable. A cable moved from one
// cart to the next while the adapter stays in the computer raises no hang-up
// at all, so before a Set writes values planned against one controller's
// readings it reads who answers now, and compares.
namespace kestrum {

class CController;

// Model code and serial number: what tells two controllers apart.
struct ControllerKey
{
    std::uint8_t modelCode = 0;
    std::array<std::uint8_t, 3> serial{}; // EEPROM 48..50, low byte first

    bool operator==(const ControllerKey&) const = default;
    // "Model ..." and "serial ...", as the Control Panel shows them.
    std::string ModelText() const;
    std::string SerialText() const;
};

// Reads the model code and the serial number (EEPROM 127, 48, 49, 50 in that
// order), quietly: no search, no message. Nothing when the controller does
// not answer (or the link makes no attempts).
std::optional<ControllerKey> ReadControllerKey(CController& link);

enum class ControllerCheck
{
    Same,   // the controller the values were read from
    Other,  // another controller answers: nothing may be written
    Silent, // nothing answers
};

// Reads who answers and compares it with `shown`; `found` receives the key
// read when something answered.
ControllerCheck CheckController(CController& link, const ControllerKey& shown,
                                std::optional<ControllerKey>* found = nullptr);

// The one box of a Set that met another controller.
std::string AnotherControllerMessage(const ControllerKey& found);

} // namespace kestrum
