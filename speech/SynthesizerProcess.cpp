#include "speech/SynthesizerProcess.h"

#include "files/Errors.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kven {
namespace {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read;
    Fd write;
};

void openPipe(Pipe& pipe)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw KvenError(std::string("音声合成を開始できません: ") + std::strerror(errno));
    pipe.read.reset(ends[0]);
    pipe.write.reset(ends[1]);
}

// Reads what is there without blocking, a megabyte at most so that the caller gets to look at
// the time; false at end of file. Keeps at most one buffer past `cap` and drops the rest, so
// that a writer that floods neither fills the memory nor blocks.
bool drainInto(int fd, std::string& out, std::size_t cap)
{
    char buf[65536];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            if (out.size() <= cap)
                out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            return false;
        return errno == EAGAIN || errno == EINTR;
    }
    return true;
}

pid_t spawn(const std::vector<std::string>& args, const Pipe& in, const Pipe& out, const Pipe& err)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, out.write.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.write.get(), 2);
    // Nothing else reaches it, not even what our own parent left open without close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // It starts as a program started afresh would, whatever our parent ignored or our thread
    // blocks: every signal at its default action, none blocked.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    // Its own process group: Ctrl+C on the terminal is ours to handle, not the synthesizer's.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args.front().c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0)
        throw KvenError("音声合成 " + args.front() + " を開始できません: " + std::strerror(spawned));
    return pid;
}

// The input is far smaller than a pipe's buffer, so this never waits for the reader. The write
// can fail only when the synthesizer is already gone, which its exit status tells.
void writeInput(int fd, const std::string& input)
{
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = ::write(fd, input.data(), input.size());
    if (written < 0 && errno == EPIPE) {
        const timespec zero{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Collects both outputs until the process ends or the run is to stop; the process is left
// to be reaped.
void watch(pid_t pid, int out, int err, const SynthesizerLimits& limits, const std::atomic<bool>& cancel,
           SynthesizerRun& run)
{
    ::fcntl(out, F_SETFL, O_NONBLOCK);
    ::fcntl(err, F_SETFL, O_NONBLOCK);
    bool outOpen = true, errOpen = true, exited = false;
    const auto deadline = std::chrono::steady_clock::now() + limits.timeout;
    for (;;) {
        if (cancel.load()) {
            run.cancelled = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            run.timedOut = true;
            break;
        }
        // Its output may end before the process does, and a process it started may keep the
        // pipes open after it is gone: the synthesizer itself ending decides. It stays a
        // zombie until reaped, so its process group cannot go to anybody else meanwhile.
        siginfo_t info{};
        exited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
        if (exited)
            break;
        pollfd fds[2] = {{outOpen ? out : -1, POLLIN, 0}, {errOpen ? err : -1, POLLIN, 0}};
        // Short waits, so that a cancel is seen within a few milliseconds.
        if (::poll(fds, 2, 5) < 0 && errno != EINTR)
            break;
        if (outOpen && fds[0].revents)
            outOpen = drainInto(out, run.output, limits.outputCap);
        if (errOpen && fds[1].revents)
            errOpen = drainInto(err, run.messages, limits.messageCap);
        if (run.output.size() > limits.outputCap) {
            run.tooLarge = true;
            break;
        }
    }
    // Everything the synthesizer wrote before it ended is in the pipes now.
    if (exited) {
        drainInto(out, run.output, limits.outputCap);
        drainInto(err, run.messages, limits.messageCap);
        run.tooLarge = run.output.size() > limits.outputCap;
    }
}

} // namespace

SynthesizerRun runSynthesizer(const std::vector<std::string>& args, const std::string& input,
                              const SynthesizerLimits& limits, const std::atomic<bool>& cancel)
{
    Pipe in, out, err;
    openPipe(in);
    openPipe(out);
    openPipe(err);
    const pid_t pid = spawn(args, in, out, err);
    in.read.reset();
    out.write.reset();
    err.write.reset();

    writeInput(in.write.get(), input);
    in.write.reset();

    SynthesizerRun run;
    watch(pid, out.read.get(), err.read.get(), limits, cancel, run);
    // Whatever it started goes with it, and it goes at once when it is no longer wanted.
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, &run.status, 0) < 0 && errno == EINTR) {
    }
    return run;
}

} // namespace kven
