#include "speech/OpenJTalk.h"

#include "speech/SynthesisText.h"
#include "text/Cp932.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kven {
namespace {

namespace fs = std::filesystem;

std::string executableFolder()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
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

constexpr std::size_t kMaxMessageBytes = 64 * 1024;

// The most sound a piece can give: two seconds a character (a letter spelled out is far less)
// and two more for the padding, at the voicing's speed. Anything beyond is a synthesizer gone
// wrong, which would otherwise fill the memory.
std::size_t maxWavBytes(const std::string& text, const Voicing& voicing)
{
    const std::size_t characters = utf8::characterCount(text);
    const double speed = std::max(std::strtod(voicing.speed.c_str(), nullptr), 0.1);
    const double seconds = (2.0 * static_cast<double>(characters) + 2.0) / speed;
    return 4096 + static_cast<std::size_t>(seconds * kSampleRate) * 2;
}

std::string firstLines(const std::string& text)
{
    std::string out = text.substr(0, 300);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

OpenJTalkSetup OpenJTalkSetup::standard()
{
    OpenJTalkSetup setup;
    const std::string here = executableFolder();
    setup.voiceFolders.push_back(here + "/voices");
    setup.voiceFolders.push_back(here + "/../share/kven/voices");
    setup.voiceFolders.push_back("/usr/share/hts-voice");
    if (const char* extra = std::getenv("KVEN_VOICES"); extra && *extra)
        setup.voiceFolders.push_back(extra);
    return setup;
}

std::string voiceDescription(std::string_view stem)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : stem) {
        if (c == '_' || c == '-' || c == ' ') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    if (parts.empty())
        return std::string(stem);
    if (parts.size() == 1)
        return parts[0];
    // Two words are a speaker and a style; more are a corpus name whose ends say who speaks.
    if (parts.size() == 2)
        return parts[0] + " (" + parts[1] + ")";
    return parts.front() + " " + parts.back();
}

std::vector<std::shared_ptr<const OpenJTalkVoice>> findVoices(const std::vector<std::string>& folders)
{
    struct Found {
        std::string path;
        std::string description;
        bool first;
    };
    std::vector<Found> found;
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            continue;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& p = it->path();
            if (p.extension() != ".htsvoice" || !it->is_regular_file(ec))
                continue;
            // The same voice installed in two folders is listed once, from the folder searched first.
            const std::string stem = p.stem().string();
            if (!seen.insert(stem).second)
                continue;
            found.push_back({p.string(), voiceDescription(stem), stem == "mei_normal"});
        }
    }
    if (found.empty()) {
        std::string list;
        for (const std::string& folder : folders)
            list += (list.empty() ? "" : ", ") + folder;
        throw KvenError("音声が見つかりません (.htsvoice を探したフォルダ: " + list + ")");
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.first != b.first)
            return a.first;
        if (a.description != b.description)
            return a.description < b.description;
        return a.path < b.path;
    });
    std::vector<std::shared_ptr<const OpenJTalkVoice>> voices;
    for (const Found& f : found)
        voices.push_back(std::make_shared<OpenJTalkVoice>(f.path, cp932::utf8ToWide(f.description)));
    return voices;
}

std::optional<Samples> synthesizePiece(const OpenJTalkSetup& setup, const Voicing& voicing, const std::string& text,
                                       const std::atomic<bool>& cancel)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        throw KvenError(systemError("音声合成を開始できません"));
    Fd inRead(in[0]), inWrite(in[1]);
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw KvenError(systemError("音声合成を開始できません"));
    Fd outRead(out[0]), outWrite(out[1]);
    if (::pipe2(err, O_CLOEXEC) != 0)
        throw KvenError(systemError("音声合成を開始できません"));
    Fd errRead(err[0]), errWrite(err[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
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

    const std::vector<std::string> args = {
        setup.executable, "-x", setup.dictionary, "-m", voicing.voicePath, "-r", voicing.speed, "-g", "-3", "-ow",
        "/dev/stdout"};
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, setup.executable.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0)
        throw KvenError("音声合成 " + setup.executable + " を開始できません: " + std::strerror(spawned));
    inRead.reset();
    outWrite.reset();
    errWrite.reset();

    // A piece is far smaller than a pipe's buffer, so this never waits for the reader. The
    // write can fail only when the synthesizer is already gone, which its exit status tells.
    const std::string line = text + "\n";
    {
        sigset_t pipeSignal, previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        const ssize_t written = ::write(inWrite.get(), line.data(), line.size());
        if (written < 0 && errno == EPIPE) {
            const timespec zero{0, 0};
            sigtimedwait(&pipeSignal, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    inWrite.reset();

    ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);
    std::string wav, messages;
    bool outOpen = true, errOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + setup.timeout;
    const std::size_t outputCap = maxWavBytes(text, voicing);
    bool timedOut = false, cancelled = false, tooLarge = false, exited = false;
    for (;;) {
        if (cancel.load()) {
            cancelled = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            break;
        }
        // Its output may end before the process does, and a process it started may keep the
        // pipes open after it is gone: the synthesizer itself ending decides. It stays a
        // zombie until reaped below, so its process group cannot go to anybody else meanwhile.
        siginfo_t info{};
        exited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
        if (exited)
            break;
        pollfd fds[2] = {{outOpen ? outRead.get() : -1, POLLIN, 0}, {errOpen ? errRead.get() : -1, POLLIN, 0}};
        // Short waits, so that a cancel is seen within a few milliseconds.
        if (::poll(fds, 2, 5) < 0 && errno != EINTR)
            break;
        if (outOpen && fds[0].revents)
            outOpen = drainInto(outRead.get(), wav, outputCap);
        if (errOpen && fds[1].revents)
            errOpen = drainInto(errRead.get(), messages, kMaxMessageBytes);
        if (wav.size() > outputCap) {
            tooLarge = true;
            break;
        }
    }
    // Everything the synthesizer wrote before it ended is in the pipes now.
    if (exited) {
        drainInto(outRead.get(), wav, outputCap);
        drainInto(errRead.get(), messages, kMaxMessageBytes);
        tooLarge = wav.size() > outputCap;
    }
    // Whatever it started goes with it, and it goes at once when it is no longer wanted.
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (tooLarge) {
        // Not printf: the desktop's locale may write a decimal comma.
        char limit[32];
        const auto written = std::to_chars(limit, limit + sizeof limit, static_cast<double>(outputCap) / 1048576.0,
                                           std::chars_format::fixed, 1);
        throw KvenError("音声合成の出力が大きすぎます (" + std::string(limit, written.ptr) + " MiB 超)");
    }
    if (cancelled)
        return std::nullopt;
    if (timedOut)
        throw KvenError("音声合成が " + std::to_string(setup.timeout.count() / 1000) + " 秒以内に終わりませんでした");
    if (WIFSIGNALED(status))
        throw KvenError("音声合成が異常終了しました (シグナル " + std::to_string(WTERMSIG(status)) + ")" +
                        (messages.empty() ? "" : ": " + firstLines(messages)));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code != 0) {
        // Nothing pronounceable is silence, not a failure.
        if (messages.find("No phoneme") != std::string::npos)
            return Samples{};
        throw KvenError("音声合成に失敗しました (終了コード " + std::to_string(code) + ")" +
                        (messages.empty() ? "" : ": " + firstLines(messages)));
    }
    return parseWav(wav);
}

bool synthesizeUtterance(const OpenJTalkSetup& setup, const Voicing& voicing, const std::vector<std::string>& pieces,
                         const std::atomic<bool>& cancel, const std::function<void(std::size_t, Samples)>& take)
{
    const std::size_t edge = samplesForMs(kEdgeSilenceMs);
    const std::size_t joint = samplesForMs(kJointSilenceMs);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (cancel.load())
            return false;
        std::optional<Samples> samples = synthesizePiece(setup, voicing, pieces[i], cancel);
        if (!samples)
            return false;
        trimSilence(*samples, i == 0 ? edge : joint, i + 1 == pieces.size() ? edge : joint);
        take(i, std::move(*samples));
    }
    return true;
}

PieceSynthesis::PieceSynthesis(const OpenJTalkSetup& setup, Voicing voicing, std::vector<std::string> pieces)
    : setup_(setup), voicing_(std::move(voicing)), pieces_(std::move(pieces)), done_(pieces_.size())
{
    if (!pieces_.empty())
        thread_ = std::thread([this] { run(); });
}

PieceSynthesis::~PieceSynthesis()
{
    cancel();
    if (thread_.joinable())
        thread_.join();
}

void PieceSynthesis::cancel()
{
    cancelled_ = true;
    std::lock_guard lock(mutex_);
    ready_.notify_all();
}

void PieceSynthesis::run()
{
    try {
        synthesizeUtterance(setup_, voicing_, pieces_, cancelled_, [this](std::size_t index, Samples samples) {
            std::lock_guard lock(mutex_);
            done_[index] = std::move(samples);
            doneCount_ = index + 1;
            ready_.notify_all();
        });
    } catch (const KvenError& e) {
        std::lock_guard lock(mutex_);
        failure_ = e.what();
        ready_.notify_all();
    }
}

std::optional<Samples> PieceSynthesis::piece(std::size_t index)
{
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return cancelled_ || failure_ || doneCount_ > index; });
    if (doneCount_ > index)
        return std::move(done_[index]);
    if (failure_)
        throw KvenError(*failure_);
    return std::nullopt;
}

} // namespace kven
