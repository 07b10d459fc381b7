#include "speech/OpenJTalk.h"

#include "files/Errors.h"
#include "speech/SynthesizerProcess.h"
#include "text/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <sys/wait.h>

namespace kven {
namespace {

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

std::optional<Samples> synthesizePiece(const OpenJTalkSetup& setup, const Voicing& voicing, const std::string& text,
                                       const std::atomic<bool>& cancel)
{
    const std::vector<std::string> args = {
        setup.executable, "-x", setup.dictionary, "-m", voicing.voicePath, "-r", voicing.speed, "-g", "-3", "-ow",
        "/dev/stdout"};
    const std::size_t outputCap = maxWavBytes(text, voicing);
    const SynthesizerRun run = runSynthesizer(args, text + "\n", {setup.timeout, outputCap, kMaxMessageBytes}, cancel);
    if (run.tooLarge) {
        // Not printf: the desktop's locale may write a decimal comma.
        char limit[32];
        const auto written = std::to_chars(limit, limit + sizeof limit, static_cast<double>(outputCap) / 1048576.0,
                                           std::chars_format::fixed, 1);
        throw KvenError("音声合成の出力が大きすぎます (" + std::string(limit, written.ptr) + " MiB 超)");
    }
    if (run.cancelled)
        return std::nullopt;
    if (run.timedOut)
        throw KvenError("音声合成が " + std::to_string(setup.timeout.count() / 1000) + " 秒以内に終わりませんでした");
    const std::string& messages = run.messages;
    if (WIFSIGNALED(run.status))
        throw KvenError("音声合成が異常終了しました (シグナル " + std::to_string(WTERMSIG(run.status)) + ")" +
                        (messages.empty() ? "" : ": " + firstLines(messages)));
    const int code = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
    if (code != 0) {
        // Nothing pronounceable is silence, not a failure.
        if (messages.find("No phoneme") != std::string::npos)
            return Samples{};
        throw KvenError("音声合成に失敗しました (終了コード " + std::to_string(code) + ")" +
                        (messages.empty() ? "" : ": " + firstLines(messages)));
    }
    return parseWav(run.output);
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

} // namespace kven
