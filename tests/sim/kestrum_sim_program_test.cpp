#include "sim/simulator.h"
#include "tests/support/pty.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace kestrum::sim {
namespace {

namespace fs = std::filesystem;

// kestrum-sim run as a child with its stdout on a pipe.
class SimProcess
{
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), std::string(KESTRUM_BINARY_DIR) + "/kestrum-sim");
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }
    ~SimProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    // Everything the program prints until it closes stdout (that is, exits)
    // or the time-out passes; the first line alone with `untilNewline`.
    std::string ReadOutput(bool untilNewline, int timeoutMs = 5000)
    {
        std::string text;
        while (out_ >= 0) {
            pollfd pfd{out_, POLLIN, 0};
            if (poll(&pfd, 1, timeoutMs) <= 0)
                return text;
            char c[256];
            const ssize_t n = read(out_, c, untilNewline ? 1 : sizeof c);
            if (n <= 0)
                return text;
            text.append(c, static_cast<std::size_t>(n));
            if (untilNewline && text.back() == '\n')
                return text;
        }
        return text;
    }

    // As a reader that stops reading early does (`| head -1`).
    void CloseOutput()
    {
        close(out_);
        out_ = -1;
    }

    // Sends the signal and waits for the exit, which closes the pipe first.
    int Terminate(int signal)
    {
        kill(pid_, signal);
        ReadOutput(false);
        return Wait();
    }

    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(KestrumSimProgram, printsPortFirstAndServesUntilTerminated)
{
    for (int signal : {SIGTERM, SIGINT}) {
        SimProcess process({"--model", "0x2a"});
        ASSERT_TRUE(process.Started());
        std::string line = process.ReadOutput(true);
        ASSERT_FALSE(line.empty());
        line.pop_back();
        ASSERT_TRUE(fs::exists(line)) << line;

        kestrum::test::PtyClient client(line);
        ASSERT_TRUE(client.IsOpen());
        EXPECT_EQ(client.Transact(MakeRequest(Command::ReadEeprom, 127)),
                  kestrum::test::Bytes(MakeAnswer(2, 127, 0, 0x2A, 0)));

        const int status = process.Terminate(signal);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST(KestrumSimProgram, trace_reportsEachRequestAsALine)
{
    SimProcess process({"--trace"});
    std::string line = process.ReadOutput(true);
    ASSERT_FALSE(line.empty());
    line.pop_back();
    kestrum::test::PtyClient client(line);
    Packet bad = MakeRequest(Command::ReadEeprom, 1);
    bad[6] ^= 1; // not a request: not reported
    client.Send(bad);
    client.Send(MakeRequest(Command::ReadEeprom, 127));
    EXPECT_EQ(process.ReadOutput(true), "request 5B 02 7F 00 00 00 24\n");
    EXPECT_EQ(WEXITSTATUS(process.Terminate(SIGTERM)), 0);
}

TEST(KestrumSimProgram, image_keepsWhatWasWrittenAcrossRuns)
{
    const kestrum::test::TempDir dir;
    const fs::path image = dir.File("controller.img");
    for (int run = 0; run < 2; ++run) {
        SimProcess process({"--image", image.string()});
        std::string line = process.ReadOutput(true);
        ASSERT_FALSE(line.empty());
        line.pop_back();
        kestrum::test::PtyClient client(line);
        if (run == 0) {
            client.Send(MakeRequest(Command::WriteEeprom, 22, 0, 5));
            // The read-back shows the write has been carried out.
            EXPECT_EQ(client.Transact(MakeRequest(Command::ReadEeprom, 22))[4], 5);
        } else {
            EXPECT_EQ(client.Transact(MakeRequest(Command::ReadEeprom, 22))[4], 5);
        }
        const int status = process.Terminate(SIGTERM);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(fs::file_size(image), 65800u);
}

TEST(KestrumSimProgram, image_isSavedWhenTheTraceReaderHasGone)
{
    const kestrum::test::TempDir dir;
    const fs::path image = dir.File("controller.img");
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        fs::remove(image);
        SimProcess process({"--trace", "--image", image.string()});
        std::string line = process.ReadOutput(true);
        ASSERT_FALSE(line.empty());
        line.pop_back();
        process.CloseOutput();
        kestrum::test::PtyClient client(line);
        client.Send(
            MakeRequest(Command::WriteEeprom, 22, 0, 9)); // its trace line meets the broken pipe
        const auto answer = client.Transact(MakeRequest(Command::ReadEeprom, 22));
        ASSERT_EQ(answer.size(), 7u) << "the simulator died with the pipe, signal " << signal;
        EXPECT_EQ(answer[4], 9);
        const int status = process.Terminate(signal);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        ASSERT_TRUE(fs::exists(image)) << signal;
        EXPECT_EQ(fs::file_size(image), 65800u);
        std::ifstream saved(image, std::ios::binary);
        saved.seekg(8 + 22); // after the 8-byte tag, EEPROM from address 0
        EXPECT_EQ(saved.get(), 9) << signal;
    }
}

TEST(KestrumSimProgram, helpAndBadOptions)
{
    struct Case
    {
        std::vector<std::string> args;
        int exitCode;
        const char* output;
    } cases[] = {
        {{"--help"}, 0, "Usage: kestrum-sim"},
        {{"--model", "256"}, 2, ""},
        {{"--delay"}, 2, ""},
        {{"--drop", "x"}, 2, ""},
        {{"--frobnicate"}, 2, ""},
    };
    for (const auto& c : cases) {
        SimProcess process(c.args);
        const std::string output = process.ReadOutput(false);
        const int status = process.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << c.args[0];
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.args[0];
        EXPECT_NE(output.find(c.output), std::string::npos) << c.args[0];
    }
}

// Another cart's memory behind the same open line: after SIGUSR1 the port
// stays open and answers with the swapped image.
TEST(KestrumSimProgramSwap, sigusr1_loadsSwapImage_portStaysOpen)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const std::string other = dir.File("other.img");
    {
        Simulator source;
        source.SetEeprom(48, 0x77);
        ASSERT_TRUE(source.SaveImage(other));
    }
    SimProcess process({"--swap", other});
    std::string line = process.ReadOutput(true);
    ASSERT_FALSE(line.empty());
    line.pop_back();
    test::PtyClient client(line);
    ASSERT_TRUE(client.IsOpen());
    const Packet read48 = MakeRequest(Command::ReadEeprom, 48);
    const auto before = client.Transact(read48);
    ASSERT_EQ(before.size(), kPacketSize);
    ASSERT_NE(before[4], 0x77);

    ASSERT_EQ(kill(process.Pid(), SIGUSR1), 0);
    // The load happens on the program's own time: ask until it shows.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::vector<std::uint8_t> after;
    do {
        after = client.Transact(read48);
    } while ((after.size() != kPacketSize || after[4] != 0x77) &&
             std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(after, test::Bytes(MakeAnswer(2, 48, 0, 0x77, 0)));
}

} // namespace
} // namespace kestrum::sim
