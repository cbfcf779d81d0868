#include "throttle/sensor_types.h"

namespace kestrum {

std::optional<std::size_t> SensorIndex(std::uint8_t code)
{
    for (std::size_t i = 0; i < kSensorTypes.size(); ++i)
        if (kSensorTypes[i].code == code)
            return i;
    return std::nullopt;
}

bool IsRestrictedModel(std::uint8_t modelCode)
{
    return modelCode >= 96 && modelCode <= 254;
}

bool SensorEnabled(const SensorType& type, std::uint8_t options, bool restrictedModel)
{
    return (options & 1) != 0 && (type.restrictedModelsMayUse || !restrictedModel);
}

} // namespace kestrum
