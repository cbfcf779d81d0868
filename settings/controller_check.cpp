#include "settings/controller_check.h"

#include "link/controller.h"
#include "settings/identity.h"
#include "settings/model_table.h"

namespace kestrum {

std::string ControllerKey::ModelText() const
{
    return DisplayName(FindModel(modelCode));
}

std::string ControllerKey::SerialText() const
{
    return SerialNumberText(serial[0], serial[1], serial[2]);
}

std::optional<ControllerKey> ReadControllerKey(CController& link)
{
    ControllerKey key;
    try {
        if (!link.ReadEeprom(identity::kModelCodeAddress, key.modelCode))
            return std::nullopt;
        for (std::size_t i = 0; i < key.serial.size(); ++i) {
            if (!link.ReadEeprom(identity::kSerialNumberAddress + i, key.serial[i]))
                return std::nullopt;
        }
    } catch (const CControllerException&) {
        return std::nullopt;
    }
    return key;
}

ControllerCheck CheckController(CController& link, const ControllerKey& shown,
                                std::optional<ControllerKey>* found)
{
    const std::optional<ControllerKey> key = ReadControllerKey(link);
    if (found != nullptr)
        *found = key;
    if (!key)
        return ControllerCheck::Silent;
    return *key == shown ? ControllerCheck::Same : ControllerCheck::Other;
}

std::string AnotherControllerMessage(const ControllerKey& found)
{
    return "This is another controller: " + found.ModelText() + ", serial number " +
           found.SerialText() +
           ".\n\nIts settings have been read and are shown now. Nothing was written to it.";
}

} // namespace kestrum
