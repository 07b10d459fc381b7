#include "support/SpeechRig.h"

#include "files/Errors.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace kven::testing {

OpenJTalkSetup testSetup()
{
    OpenJTalkSetup setup;
    setup.voiceFolders = {std::string(KVEN_SOURCE_DIR) + "/voices"};
    return setup;
}

std::optional<std::string> missingSynthesizer()
{
    const OpenJTalkSetup setup = testSetup();
    if (::access(setup.executable.c_str(), X_OK) != 0)
        return "no synthesizer at " + setup.executable + " (scripts/test installs open-jtalk)";
    if (::access(setup.dictionary.c_str(), R_OK) != 0)
        return "no dictionary at " + setup.dictionary + " (scripts/test installs open-jtalk-mecab-naist-jdic)";
    if (::access((setup.voiceFolders.front() + "/mei/mei_normal.htsvoice").c_str(), R_OK) != 0)
        return "no voices in " + setup.voiceFolders.front() + " (scripts/test installs them)";
    return std::nullopt;
}

namespace {

class RecordingStream : public AudioStream {
public:
    RecordingStream(std::shared_ptr<RecordingOutput::Log> log, std::size_t index, double pace)
        : log_(std::move(log)), index_(index), pace_(pace)
    {
    }

    bool write(std::span<const std::int16_t> samples, const std::atomic<bool>& cancel) override
    {
        if (cancel.load())
            return false;
        {
            std::lock_guard lock(log_->mutex);
            auto& stream = log_->streams[index_];
            stream.insert(stream.end(), samples.begin(), samples.end());
        }
        if (pace_ > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds(samples.size()) / pace_));
        return true;
    }

    Drain drain(const std::atomic<bool>& cancel) override
    {
        std::lock_guard lock(log_->mutex);
        ++log_->drains;
        return cancel.load() ? Drain::cancelled : Drain::heard;
    }

    void flush() override
    {
        std::lock_guard lock(log_->mutex);
        ++log_->flushes;
    }

private:
    std::shared_ptr<RecordingOutput::Log> log_;
    std::size_t index_;
    double pace_;
};

} // namespace

std::unique_ptr<AudioStream> RecordingOutput::open(const std::atomic<bool>&)
{
    if (failOpen)
        throw KvenError(*failOpen);
    std::lock_guard lock(log_->mutex);
    log_->streams.emplace_back();
    return std::make_unique<RecordingStream>(log_, log_->streams.size() - 1, pace_);
}

std::string writeStandIn(const std::string& folder, const std::string& behaviour, const std::string& switchFile)
{
    const std::string path = folder + "/synth-" + behaviour;
    std::string act;
    if (behaviour == "exit1")
        act = "echo 'Error: cannot load the voice' >&2; exit 1";
    else if (behaviour == "crash")
        act = "kill -SEGV $$";
    else if (behaviour == "hang")
        act = "exec sleep 60";
    else if (behaviour == "quiet-hang")
        act = "exec >&- 2>&-; exec sleep 60";
    else if (behaviour == "truncated")
        act = "/usr/bin/open_jtalk \"$@\" | head -c 20000; exit 0";
    else if (behaviour == "huge")
        act = "printf 'RIFF'; exec cat /dev/zero";
    else if (behaviour == "child")
        act = "sleep 60 & echo $! > '" + switchFile + ".child'; exec /usr/bin/open_jtalk \"$@\"";
    else
        act = "echo 'not a wav'; exit 0";
    // The text goes to the real synthesizer where the behaviour runs it, and is dropped otherwise.
    const bool readsText = behaviour == "truncated" || behaviour == "child";
    std::ofstream out(path);
    out << "#!/bin/sh\n"
        << "if [ -e '" << switchFile << "' ]; then " << (readsText ? "" : "cat >/dev/null; ") << act << "; fi\n"
        << "exec /usr/bin/open_jtalk \"$@\"\n";
    out.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

} // namespace kven::testing
