#include "sim/gauges.h"
#include "sim/memory_image.h"
#include "sim/request_assembler.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrum::sim {
namespace {

namespace fs = std::filesystem;

using kestrum::test::TempDir;

TEST(DefaultImage, describesAConsistentController)
{
    const MemoryImage image = DefaultImage();
    const unsigned base = image.eeprom[0] | image.eeprom[1] << 8;
    ASSERT_LE(base + 255, kFlashWords - 1);
    for (unsigned entry = 0; entry < 256; ++entry)
        ASSERT_EQ(image.flash[base + entry], 0x3400 + entry) << entry;
    EXPECT_EQ(image.flash[2], 0x2A03);
    EXPECT_EQ(image.ram[0x50], 0); // firmware running
    const std::uint8_t index = image.eeprom[0x7D];
    EXPECT_GE(index, 0x5D);
    EXPECT_LE(index, 0x7C);
    const unsigned serial = image.eeprom[48] | image.eeprom[49] << 8 | image.eeprom[50] << 16;
    EXPECT_NE(serial, 0xFFFFFFu); // programmed
    // Under-voltage below over-voltage, both stored as 10-bit counts.
    const unsigned under = image.eeprom[7] | image.eeprom[8] << 8;
    const unsigned over = image.eeprom[16] | image.eeprom[17] << 8;
    EXPECT_LT(under, over);
    EXPECT_LT(over, 1024u);
}

TEST(DefaultImage, modelCodeOption_replacesTheDefault)
{
    Simulator sim(Options{.modelCode = 102});
    EXPECT_EQ(sim.Eeprom(127), 102);
    Simulator plain;
    EXPECT_EQ(plain.Eeprom(127), DefaultImage().eeprom[127]);
}

TEST(ImageFile, roundTripKeepsEepromAndFlash)
{
    TempDir dir;
    Simulator written;
    written.SetEeprom(0, 0x12);
    written.SetEeprom(255, 0x34);
    written.SetFlash(0, 0xABCD);
    written.SetFlash(0x7FFF, 0x0102);
    written.SetFlash(2, 0x2A00); // saved while switched to the bootloader
    written.SetRam(0x20, 0x99);
    ASSERT_TRUE(written.SaveImage(dir.File("image.bin")));

    Simulator loaded;
    ASSERT_TRUE(loaded.LoadImage(dir.File("image.bin")));
    EXPECT_EQ(loaded.Eeprom(0), 0x12);
    EXPECT_EQ(loaded.Eeprom(255), 0x34);
    EXPECT_EQ(loaded.Flash(0), 0xABCD);
    EXPECT_EQ(loaded.Flash(0x7FFF), 0x0102);
    // Loading is a power-up: RAM cleared, mode from the start address.
    EXPECT_EQ(loaded.Ram(0x20), 0);
    EXPECT_EQ(loaded.Ram(0x50), 1);
    EXPECT_FALSE(fs::exists(dir.File("image.bin.tmp")));
}

TEST(ImageFile, badFiles_areRefusedAndChangeNothing)
{
    TempDir dir;
    Simulator good;
    ASSERT_TRUE(good.SaveImage(dir.File("good.bin")));
    const auto size = fs::file_size(dir.File("good.bin"));
    {
        std::ofstream(dir.File("short.bin"), std::ios::binary) << "KSIMIMG1";
        fs::copy_file(dir.File("good.bin"), dir.File("long.bin"));
        std::ofstream(dir.File("long.bin"), std::ios::binary | std::ios::app) << 'x';
        fs::copy_file(dir.File("good.bin"), dir.File("magic.bin"));
        std::fstream magic(dir.File("magic.bin"), std::ios::binary | std::ios::in | std::ios::out);
        magic.put('X');
    }
    EXPECT_EQ(size, 65800u);
    Simulator sim;
    sim.SetEeprom(127, 77);
    for (const char* name : {"missing.bin", "short.bin", "long.bin", "magic.bin"}) {
        EXPECT_FALSE(sim.LoadImage(dir.File(name))) << name;
        EXPECT_EQ(sim.Eeprom(127), 77) << name;
    }
    EXPECT_FALSE(sim.LoadImage("/dev/zero")); // endless: refused without reading it all
    EXPECT_FALSE(sim.SaveImage(dir.File("no-such-folder/image.bin")));
}

TEST(Gauges, moveTogetherPlausibly)
{
    struct Reading
    {
        unsigned throttle, amps, volts, temperature;
    };
    auto at = [](double seconds) {
        MemoryImage image = DefaultImage();
        UpdateGauges(image, seconds);
        auto word = [&](std::uint8_t a) { return unsigned(image.ram[a] | image.ram[a + 1] << 8); };
        return Reading{image.ram[0x20], word(0x60), word(0x39), word(0x2C)};
    };
    const Reading idle = at(0.0), half = at(5.0), full = at(10.0), back = at(15.0);
    EXPECT_EQ(idle.throttle, 0u);
    EXPECT_NEAR(half.throttle, 128, 1);
    EXPECT_EQ(full.throttle, 255u);
    EXPECT_NEAR(back.throttle, 128, 1);
    // Current follows the throttle; voltage sags as the current rises.
    EXPECT_LT(idle.amps, half.amps);
    EXPECT_LT(half.amps, full.amps);
    EXPECT_GT(idle.volts, full.volts);
    // Battery around 48 V (1023 counts = 105 V), temperature 15..70 degrees.
    for (const Reading& r : {idle, half, full, back}) {
        EXPECT_NEAR(r.volts * 105.0 / 1023.0, 48.0, 6.0);
        const double celsius = r.temperature * 500.0 / 1023.0 - 273.0;
        EXPECT_GT(celsius, 15.0);
        EXPECT_LT(celsius, 70.0);
    }
    EXPECT_GT(at(600.0).temperature, idle.temperature); // drifts up while running
}

TEST(RequestAssembler, findsFramesInNoise)
{
    const Packet probe = MakeRequest(Command::ReadEeprom, 127);
    struct Case
    {
        const char* name;
        std::vector<std::uint8_t> before;
        std::size_t frames;
    } cases[] = {
        {"clean", {}, 1},
        {"noise", {0x00, 0xB5, 0xFF}, 1},
        {"cut frame", {0x5B, 0x02, 0x10}, 1},
        {"two headers", {0x5B, 0x5B}, 1},
        {"whole frame first", {probe.begin(), probe.end()}, 2},
    };
    for (const auto& c : cases) {
        RequestAssembler assembler;
        std::vector<std::uint8_t> stream = c.before;
        stream.insert(stream.end(), probe.begin(), probe.end());
        std::vector<Packet> frames;
        for (std::uint8_t b : stream)
            if (auto frame = assembler.Feed(b))
                frames.push_back(*frame);
        ASSERT_EQ(frames.size(), c.frames) << c.name;
        EXPECT_EQ(frames.back(), probe) << c.name;
    }
}

} // namespace
} // namespace kestrum::sim
