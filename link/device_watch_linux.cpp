#include "link/device_watch.h"
#include "link/port_names.h"

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace kestrum {

namespace {

constexpr const char* kDevFolder = "/dev";
constexpr std::uint32_t kAppearMask = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;

struct SplitPath
{
    std::string folder;
    std::string name;
};

SplitPath Split(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

struct DeviceWatch::Impl
{
    int inotify = -1;
    int stop = -1;
    std::thread thread;
    // Watch descriptor -> folder, and the pinned names wanted in each folder.
    std::map<int, std::string> folders;
    std::multimap<std::string, std::string> pinnedNames; // folder -> name
    int devWatch = -1;
    Appeared appeared;

    void Run();
    void Dispatch(const inotify_event& event);
};

DeviceWatch::DeviceWatch() : impl_(std::make_unique<Impl>()) {}

DeviceWatch::~DeviceWatch()
{
    Stop();
}

bool DeviceWatch::Running() const
{
    return impl_->thread.joinable();
}

bool DeviceWatch::Start(const std::vector<std::string>& pinned, Appeared appeared, Removed)
{
    Stop();
    Impl& d = *impl_;
    d.inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    d.stop = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.inotify < 0 || d.stop < 0) {
        Stop();
        return false;
    }
    d.appeared = std::move(appeared);
    const auto watch = [&d](const std::string& folder) {
        const int wd = ::inotify_add_watch(d.inotify, folder.c_str(), kAppearMask);
        if (wd >= 0)
            d.folders[wd] = folder;
        return wd;
    };
    d.devWatch = watch(kDevFolder);
    for (const std::string& path : pinned) {
        const SplitPath split = Split(DevicePathForPortName(path));
        if (watch(split.folder) >= 0)
            d.pinnedNames.emplace(split.folder, split.name);
    }
    if (d.folders.empty()) {
        Stop();
        return false;
    }
    d.thread = std::thread([&d] { d.Run(); });
    return true;
}

void DeviceWatch::Stop()
{
    Impl& d = *impl_;
    if (d.thread.joinable()) {
        const std::uint64_t one = 1;
        while (::write(d.stop, &one, sizeof one) < 0 && errno == EINTR) {
        }
        d.thread.join();
    }
    for (int* fd : {&d.inotify, &d.stop}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    d.folders.clear();
    d.pinnedNames.clear();
    d.devWatch = -1;
    d.appeared = nullptr;
}

void DeviceWatch::Impl::Run()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{stop, POLLIN, 0}, {inotify, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        const ssize_t n = ::read(inotify, buffer, sizeof buffer);
        if (n <= 0)
            continue; // EAGAIN or EINTR; an overflowed queue is read on
        for (ssize_t at = 0; at < n;) {
            const auto& event = *reinterpret_cast<const inotify_event*>(buffer + at);
            Dispatch(event);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
}

void DeviceWatch::Impl::Dispatch(const inotify_event& event)
{
    if (event.len == 0 || !appeared)
        return;
    const auto folder = folders.find(event.wd);
    if (folder == folders.end())
        return;
    const std::string name(event.name);
    const std::string path = folder->second == "/" ? "/" + name : folder->second + "/" + name;
    bool wanted = event.wd == devWatch && IsAdapterNodeName(name);
    const auto [first, last] = pinnedNames.equal_range(folder->second);
    for (auto it = first; it != last && !wanted; ++it)
        wanted = it->second == name;
    if (wanted)
        appeared(path);
}

} // namespace kestrum
