#include "Util/Subprocess.h"

#include "Util/Text.h"
#include "Util/Unicode.h"
#include "Util/UniqueFd.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel::Subprocess {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto pollPeriod = std::chrono::milliseconds(50);
// How long a timed-out tool gets to honour the terminate request before it is killed.
constexpr auto terminateGrace = std::chrono::milliseconds(20);

std::string overflowDetail() {
    return "printed more than " + std::to_string(maxOutputBytes) + " bytes";
}

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

Pipe makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throwErrno("pipe2");
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

std::string homeFolder() {
    if (const char* home = ::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

// Drains standard output and standard error on a thread of its own while the
// tool runs, so a tool that writes more than a pipe holds never blocks. A
// wake-up pipe lets the caller stop it when the tool is abandoned.
class OutputCollector {
public:
    OutputCollector(UniqueFd out, UniqueFd err) : out_(std::move(out)), err_(std::move(err)), wake_(makePipe()) {
        thread_ = std::thread([this] { drain(); });
    }
    OutputCollector(const OutputCollector&) = delete;
    OutputCollector& operator=(const OutputCollector&) = delete;
    ~OutputCollector() { abandon(); }

    // Waits for both streams to reach their end.
    void finish() {
        if (thread_.joinable())
            thread_.join();
    }

    // Stops reading at once; what was read is discarded by the caller.
    void abandon() {
        if (!thread_.joinable())
            return;
        const char byte = 0;
        [[maybe_unused]] auto written = ::write(wake_.write.get(), &byte, 1);
        thread_.join();
    }

    std::string takeOutput() { return std::move(outText_); }
    std::string takeError() { return std::move(errText_); }
    // A stream passed maxOutputBytes; reading stopped there.
    bool overflowed() const { return overflowed_; }

private:
    void drain() {
        std::array<pollfd, 3> fds{{{out_.get(), POLLIN, 0}, {err_.get(), POLLIN, 0}, {wake_.read.get(), POLLIN, 0}}};
        std::array<std::string*, 2> sinks{&outText_, &errText_};
        while (fds[0].fd >= 0 || fds[1].fd >= 0) {
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[2].revents != 0)
                return;
            for (size_t i = 0; i < 2; ++i) {
                if (fds[i].fd >= 0 && fds[i].revents != 0 && !readSome(fds[i].fd, *sinks[i]))
                    fds[i].fd = -1;
                if (sinks[i]->size() > maxOutputBytes) {
                    overflowed_ = true;
                    return;
                }
            }
        }
    }

    // Appends what is available; false at end of file or on error.
    static bool readSome(int fd, std::string& sink) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                sink.append(buffer, static_cast<size_t>(n));
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return false;
        }
    }

    UniqueFd out_;
    UniqueFd err_;
    Pipe wake_;
    std::string outText_;
    std::string errText_;
    std::atomic<bool> overflowed_{false};
    std::thread thread_;
};

// A started tool, leader of a process group of its own. Whatever happens to
// the caller, the tool and everything it started are ended and the tool is
// reaped, so no zombie and no stray helper is left behind. Group signals are
// sent only while the leader is not yet reaped, so its group id cannot have
// been reused by then.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (!reaped_)
            stop(SIGKILL, std::chrono::milliseconds(0));
    }

    // True once the tool has ended; its status is then in status(). Helpers it
    // left running would hold our pipes open, so they go with it.
    bool poll() {
        if (!hasEnded(WNOHANG))
            return false;
        ::kill(-pid_, SIGKILL);
        reap();
        return true;
    }
    int32_t status() const { return status_; }

    // Asks the group to stop, waits a short grace, then kills it and reaps the tool.
    void stop(int firstSignal, std::chrono::milliseconds grace) {
        ::kill(-pid_, firstSignal);
        const auto giveUp = Clock::now() + grace;
        while (!hasEnded(WNOHANG) && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(-pid_, SIGKILL);
        hasEnded(0);
        reap();
    }

private:
    // Looks without reaping, so the group id stays reserved.
    bool hasEnded(int options) {
        siginfo_t info{};
        int r;
        do {
            r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT | options);
        } while (r < 0 && errno == EINTR);
        return r < 0 || info.si_pid == pid_;
    }

    void reap() {
        int raw = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &raw, 0);
        } while (r < 0 && errno == EINTR);
        reaped_ = true;
        status_ = r < 0 ? -1 : WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? WTERMSIG(raw) : -1;
    }

    pid_t pid_;
    bool reaped_ = false;
    int32_t status_ = -1;
};

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<std::string> environmentEntries(const Environment& extra) {
    auto table = environment();
    for (const auto& [key, value] : extra)
        table[key] = value;
    std::vector<std::string> entries;
    for (const auto& [key, value] : table)
        entries.push_back(key + "=" + value);
    return entries;
}

// Everything the child needs, prepared before fork: after it only
// async-signal-safe calls may run.
struct LaunchPlan {
    std::vector<std::string> argv;
    std::vector<std::string> envp;
    std::vector<char*> argvPointers;
    std::vector<char*> envpPointers;
    UniqueFd devNull;
    pid_t parent = ::getpid();
};

[[noreturn]] void failInChild(int reportFd) {
    const int error = errno;
    [[maybe_unused]] auto written = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// In the child: its own process group (so a time-out can end everything it
// starts), killed when the thread that started it goes away (a hub killed
// mid-install must not leave bsdtar writing), default signals, /dev/null as
// input, the two pipes as output and no other descriptor.
[[noreturn]] void becomeTool(const LaunchPlan& plan, int outFd, int errFd, int reportFd) {
    ::setpgid(0, 0);
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != plan.parent)
        ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaults, nullptr);
    if (::dup2(plan.devNull.get(), STDIN_FILENO) < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 ||
        ::dup2(errFd, STDERR_FILENO) < 0)
        failInChild(reportFd);
    // The report pipe is close-on-exec and must survive until execve.
    for (int fd = STDERR_FILENO + 1; fd < reportFd; ++fd)
        ::close(fd);
    ::close_range(static_cast<unsigned>(reportFd) + 1, ~0U, 0);
    ::execve(plan.argv.front().c_str(), plan.argvPointers.data(), plan.envpPointers.data());
    failInChild(reportFd);
}

pid_t spawn(const std::string& tool, const std::vector<std::string>& arguments, const Environment& extra, int outFd,
            int errFd) {
    LaunchPlan plan;
    plan.argv.push_back(tool);
    plan.argv.insert(plan.argv.end(), arguments.begin(), arguments.end());
    plan.envp = environmentEntries(extra);
    plan.argvPointers = pointersTo(plan.argv);
    plan.envpPointers = pointersTo(plan.envp);
    plan.devNull = UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!plan.devNull)
        throwErrno("open /dev/null");
    Pipe report = makePipe();

    const pid_t pid = ::fork();
    if (pid < 0)
        throwErrno("fork");
    if (pid == 0)
        becomeTool(plan, outFd, errFd, report.write.get());
    // Both sides set the group, so a stop sent at once still reaches the whole group.
    ::setpgid(pid, pid);
    report.write.reset();
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report.read.get(), &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof error)) {
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        throw LaunchError(tool, error);
    }
    return pid;
}

} // namespace

LaunchError::LaunchError(const std::string& tool, int errorNumber)
    : Error("Could not start " + toolName(tool) + ": " + std::strerror(errorNumber) + "."), errorNumber_(errorNumber) {}

ToolFailed::ToolFailed(std::string tool, std::string detail)
    : Error(tool + " failed: " + detail), tool_(std::move(tool)), detail_(std::move(detail)) {}

const std::map<std::string, std::string>& environment() {
    static const std::map<std::string, std::string> table{
        {"PATH", "/usr/bin:/bin:/usr/sbin:/sbin"},
        {"HOME", homeFolder()},
        {"TMPDIR", std::filesystem::temp_directory_path().string()},
        {"LANG", "en_US.UTF-8"},
    };
    return table;
}

std::string toolName(const std::string& tool) {
    return std::filesystem::path(tool).filename().string();
}

Result run(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
           std::stop_token stop, const Environment& extra) {
    Pipe out = makePipe();
    Pipe err = makePipe();
    Child child(spawn(tool, arguments, extra, out.write.get(), err.write.get()));
    // Our copies of the write ends must go, or the readers would never see end of file.
    out.write.reset();
    err.write.reset();
    OutputCollector collector(std::move(out.read), std::move(err.read));

    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    const auto endTool = [&] {
        child.stop(SIGTERM, terminateGrace);
        collector.abandon();
    };
    while (!child.poll()) {
        const auto now = Clock::now();
        if (collector.overflowed()) {
            endTool();
            throw ToolFailed(toolName(tool), overflowDetail());
        }
        if (now > deadline || stop.stop_requested()) {
            endTool();
            if (stop.stop_requested())
                throw Cancelled();
            throw ToolFailed(toolName(tool), "timed out");
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(pollPeriod, deadline - now + std::chrono::milliseconds(1)));
    }
    collector.finish();
    if (collector.overflowed())
        throw ToolFailed(toolName(tool), overflowDetail());
    return {child.status(), collector.takeOutput(), Unicode::repairUtf8(collector.takeError())};
}

Result check(const std::string& tool, const std::vector<std::string>& arguments, double timeoutSeconds,
             std::stop_token stop, const Environment& extra) {
    Result result = run(tool, arguments, timeoutSeconds, std::move(stop), extra);
    if (result.status != 0)
        throw ToolFailed(toolName(tool), std::string(Text::trimmedAscii(result.standardError)));
    return result;
}

} // namespace ostrel::Subprocess
