#include "link/port_names.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

// Legacy ports are told apart by the serial core's `type` attribute, read
// from a fake sysfs tree; the opening check is the fallback only.
namespace kestrum {
namespace {

namespace fs = std::filesystem;
using port_listing::ListSysfsSerialPorts;
using port_listing::SysfsTypeSaysUart;

class SysfsUartType : public ::testing::Test
{
protected:
    // A legacy port bound to the 8250 driver; `type` null means no attribute.
    void AddLegacyPort(const std::string& name, const char* type)
    {
        const fs::path tty = ClassTty() / name;
        const fs::path device = root.Path() / "devices" / name;
        fs::create_directories(tty);
        fs::create_directories(device);
        fs::create_directories(root.Path() / "drivers" / "serial8250");
        fs::create_directory_symlink(root.Path() / "drivers" / "serial8250", device / "driver");
        fs::create_directory_symlink(device, tty / "device");
        if (type != nullptr)
            std::ofstream(tty / "type") << type;
    }
    fs::path ClassTty() const { return root.Path() / "class" / "tty"; }

    kestrum::test::TempDir root;
};

TEST_F(SysfsUartType, typeAttribute_isRead)
{
    struct Case
    {
        const char* text; // null: no attribute
        std::optional<bool> uart;
    } cases[] = {
        {"4\n", true},  // 16550A
        {"1", true},    // 8250
        {"0\n", false}, // PORT_UNKNOWN: a name without a UART
        {nullptr, std::nullopt},
        {"", std::nullopt},
        {"unknown\n", std::nullopt},
        {"-1\n", std::nullopt},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "ttyS" + std::to_string(n++);
        AddLegacyPort(name, c.text);
        EXPECT_EQ(SysfsTypeSaysUart((ClassTty() / name).string()), c.uart)
            << (c.text ? c.text : "(none)");
    }
}

TEST_F(SysfsUartType, listing_opensOnlyPortsWhoseTypeSysfsDoesNotTell)
{
    AddLegacyPort("ttyS0", "4\n");
    AddLegacyPort("ttyS1", "0\n");
    AddLegacyPort("ttyS2", nullptr);
    AddLegacyPort("ttyS3", nullptr);
    std::vector<std::string> opened;
    const auto ports =
        ListSysfsSerialPorts(ClassTty().string(), "/fake/dev", [&](const std::string& path) {
            opened.push_back(path);
            return path == "/fake/dev/ttyS3";
        });
    EXPECT_EQ(ports, (std::vector<std::string>{"/fake/dev/ttyS0", "/fake/dev/ttyS3"}));
    EXPECT_EQ(opened, (std::vector<std::string>{"/fake/dev/ttyS2", "/fake/dev/ttyS3"}));
}

} // namespace
} // namespace kestrum
