// The port search on Windows: the ports the device-setup library lists as
// present, then every name from COM1 to COM256.
#include "link/port_names.h"

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kestrum {
namespace {

// Lifts the test program's pinned port list for one test.
class UnpinnedSearch
{
public:
    UnpinnedSearch()
    {
        if (qEnvironmentVariableIsSet("KESTRUM_PORTS")) {
            saved = qgetenv("KESTRUM_PORTS");
        }
        qunsetenv("KESTRUM_PORTS");
    }
    ~UnpinnedSearch()
    {
        if (saved) {
            qputenv("KESTRUM_PORTS", *saved);
        }
    }
    UnpinnedSearch(const UnpinnedSearch&) = delete;
    UnpinnedSearch& operator=(const UnpinnedSearch&) = delete;

private:
    std::optional<QByteArray> saved;
};

TEST(PortSearch, unpinned_triesThePresentPortsThenCom1ToCom256)
{
    UnpinnedSearch unpinned;
    const std::vector<std::string> present = ListPresentPorts();
    const std::vector<std::string> candidates = SearchCandidates();

    ASSERT_EQ(candidates.size(), present.size() + 256);
    EXPECT_TRUE(std::equal(present.begin(), present.end(), candidates.begin()));
    for (int n = 1; n <= 256; ++n) {
        EXPECT_EQ(candidates[present.size() + n - 1], "COM" + std::to_string(n));
    }
}

TEST(PortSearch, presentPorts_areComNames)
{
    for (const std::string& name : ListPresentPorts()) {
        EXPECT_TRUE(IsAcceptablePortName(name)) << name;
    }
}

TEST(PortSearch, comNames_openInTheDeviceNamespace)
{
    EXPECT_EQ(DevicePathForPortName("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(DevicePathForPortName("COM256"), "\\\\.\\COM256");
}

} // namespace
} // namespace kestrum
