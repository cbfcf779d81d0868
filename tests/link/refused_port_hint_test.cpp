#include "link/controller.h"
#include "link/serial_port.h"
#include "sim/pty.h"

#include <cstdlib>
#include <grp.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// The "Cannot locate Motor controller" box explains ports that refused us.
// Root opens any device whatever its mode, so as root the search runs in a
// child that has become nobody; a user who is neither runs it in-process.
namespace kestrum {
namespace {

constexpr int kSkipped = 77;
constexpr uid_t kNobody = 65534;

struct Line
{
    sim::PtyPair pty;
    explicit Line(mode_t mode)
    {
        if (sim::OpenPtyPair(pty))
            ::fchmod(pty.slave, mode);
    }
    ~Line() { sim::ClosePtyPair(pty); }
    const std::string& Path() const { return pty.slavePath; }
};

// The messages of one search pinned to `ports`, as the user running it sees them.
std::vector<std::string> SearchMessages(const std::string& ports)
{
    setenv("KESTRUM_PORTS", ports.c_str(), 1);
    std::vector<std::string> messages;
    {
        CController link;
        link.Timings().retryDelay = 20;
        link.SetNotifier([&](const std::string& m) { messages.push_back(m); });
        link.LocateController();
    }
    unsetenv("KESTRUM_PORTS");
    return messages;
}

// The message of the search run as an unprivileged user; nothing, and
// `skipped` set, when this process cannot become one.
std::string SearchAsUser(const std::string& ports, bool& skipped)
{
    skipped = false;
    if (::geteuid() != 0) {
        const auto messages = SearchMessages(ports);
        return messages.size() == 1 ? messages[0] : "";
    }
    int out[2];
    if (::pipe(out) != 0)
        return "";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(kSkipped);
        const auto messages = SearchMessages(ports);
        if (messages.size() == 1)
            (void)!::write(out[1], messages[0].data(), messages[0].size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    skipped = WIFEXITED(status) && WEXITSTATUS(status) == kSkipped;
    return message;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(RefusedPortHint, namesDeniedAndBusyPortsWithTheirFix_andNothingElse)
{
    Line denied(0);
    Line busy(0666);
    Line free(0666); // opens, but no controller answers there
    ASSERT_FALSE(denied.Path().empty());
    CSerialPort holder; // another program holding the port
    holder.SetName(busy.Path());
    ASSERT_TRUE(holder.Open());

    const std::string permissionFix = "sudo usermod -aG dialout $USER";
    const std::string busyText = busy.Path() + " is in use by another program";
    struct Case
    {
        std::vector<const Line*> ports;
        bool deniedTold;
        bool busyTold;
    } cases[] = {
        {{&free}, false, false},
        {{&denied, &free}, true, false},
        {{&busy}, false, true},
        {{&free, &denied, &busy}, true, true},
    };
    for (const Case& c : cases) {
        std::string pinned;
        for (const Line* line : c.ports)
            pinned += (pinned.empty() ? "" : ":") + line->Path();
        bool skipped = false;
        const std::string message = SearchAsUser(pinned, skipped);
        if (skipped)
            GTEST_SKIP() << "cannot become an unprivileged user to be refused a port";
        SCOPED_TRACE(pinned);
        EXPECT_EQ(message.rfind("Cannot locate Motor controller", 0), 0u) << message;
        EXPECT_EQ(Contains(message, "No permission to open " + denied.Path()), c.deniedTold)
            << message;
        EXPECT_EQ(Contains(message, permissionFix), c.deniedTold) << message;
        EXPECT_EQ(Contains(message, busyText), c.busyTold) << message;
        EXPECT_FALSE(Contains(message, free.Path())) << message;
        if (!c.deniedTold && !c.busyTold) {
            EXPECT_EQ(message, "Cannot locate Motor controller");
        }
    }
}

} // namespace
} // namespace kestrum
