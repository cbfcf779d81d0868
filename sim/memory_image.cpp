#include "sim/memory_image.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace kestrum::sim {

namespace {

constexpr char kMagic[8] = {'K', 'S', 'I', 'M', 'I', 'M', 'G', '1'};
constexpr std::size_t kFileSize = sizeof kMagic + kEepromSize + 2 * kFlashWords;

// Table base well clear of the start address word and the field map.
constexpr std::uint16_t kThrottleTableBase = 0x1400;

void PutWord(MemoryImage& image, std::uint8_t address, std::uint16_t value)
{
    image.eeprom[address] = static_cast<std::uint8_t>(value & 0xFF);
    image.eeprom[static_cast<std::uint8_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

} // namespace

MemoryImage DefaultImage()
{
    using namespace layout;
    MemoryImage image;
    image.eeprom.fill(0xFF); // erased cells read as 0xFF
    image.flash.fill(0x3FFF);

    // Model code 3 (KAV RK-AG): under-voltage 16-60 V, over-voltage 30-90 V.
    image.eeprom[kModelCode] = 3;
    PutWord(image, kTableBaseLow, kThrottleTableBase);
    image.eeprom[kMaxCurrent] = 90;
    image.eeprom[kSwitches] = 0x02;     // plug brake on, full-speed reverse off
    PutWord(image, kUnderVoltage, 205); // 21.0 V
    image.eeprom[kThrottleUp] = 5;
    image.eeprom[kThrottleDown] = 10;
    image.eeprom[kBrakeCurrent] = 80;
    PutWord(image, kOverVoltage, 585); // 60.0 V
    image.eeprom[kSensorCode] = 255;   // 0 - 5K Ohms
    image.eeprom[kOptions] = 0x03;
    image.eeprom[kTopSpeed] = 0; // 100 %
    // Serial number 228138.
    image.eeprom[kSerialNumber] = 0x2A;
    image.eeprom[kSerialNumber + 1] = 0x7B;
    image.eeprom[kSerialNumber + 2] = 0x03;

    // Error log: five entries recorded, the newest at the index.
    for (unsigned a = kErrorRingFirst; a <= kErrorRingLast; ++a)
        image.eeprom[a] = 0x00;
    const std::uint8_t errors[] = {0x0A, 0x03, 0x11, 0x0A, 0x05};
    for (std::size_t i = 0; i < std::size(errors); ++i)
        image.eeprom[kErrorRingFirst + i] = errors[i];
    image.eeprom[kErrorRingIndex] = static_cast<std::uint8_t>(kErrorRingFirst + 4);

    image.flash[kStartAddress] = kFirmwareStart;
    image.flash[kFieldMap] = 0x3412; // field map 18
    for (unsigned entry = 0; entry < 256; ++entry)
        image.flash[kThrottleTableBase + entry] = static_cast<std::uint16_t>(0x3400 + entry);

    PowerUp(image);
    return image;
}

void Reset(MemoryImage& image)
{
    using namespace layout;
    switch (image.flash[kStartAddress]) {
    case kBootloaderStart:
        image.ram[kMode] = 1;
        break;
    case kFirmwareStart:
        image.ram[kMode] = 0;
        break;
    default:
        image.ram[kMode] = 0xFF;
        break;
    }
}

void PowerUp(MemoryImage& image)
{
    image.ram.fill(0);
    Reset(image);
}

bool SaveImageFile(const MemoryImage& image, const std::string& path)
{
    std::vector<char> bytes(std::begin(kMagic), std::end(kMagic));
    bytes.insert(bytes.end(), image.eeprom.begin(), image.eeprom.end());
    for (std::uint16_t word : image.flash) {
        bytes.push_back(static_cast<char>(word & 0xFF));
        bytes.push_back(static_cast<char>(word >> 8));
    }
    // Written beside the target and renamed over it, so an interrupted save
    // never leaves a truncated image behind.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush())
            return std::remove(temporary.c_str()), false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool LoadImageFile(MemoryImage& image, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // One byte more than an image holds tells a longer file from a good one
    // without reading all of whatever it is.
    std::vector<char> bytes(kFileSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != kFileSize ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return false;

    MemoryImage loaded = image;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + sizeof kMagic;
    std::memcpy(loaded.eeprom.data(), data, kEepromSize);
    data += kEepromSize;
    for (std::size_t i = 0; i < kFlashWords; ++i)
        loaded.flash[i] = static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    PowerUp(loaded);
    image = loaded;
    return true;
}

} // namespace kestrum::sim
