// Measures the spoken back end at the monitor of a sound server's sink (a null sink in
// bench/speech-measures): Start to first sound against the bare synthesizer plus the pause,
// the audible gap between utterances, and how fast Skip silences the sound.
//
// Usage: speech_probe SINK VOICE_FOLDER

#include "reading/ChunkFilter.h"
#include "reading/Reader.h"
#include "speech/OpenJTalkEngine.h"
#include "speech/SynthesisText.h"
#include "state/Session.h"
#include "text/Cp932.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <pulse/simple.h>
#include <thread>
#include <vector>

namespace {

using namespace kven;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Records the sink's monitor in 10 ms blocks and keeps, per block, when it arrived and
// whether it was loud.
class Monitor {
public:
    explicit Monitor(const std::string& sink)
    {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = kBlock * 2;
        const std::string source = sink + ".monitor";
        int error = 0;
        s_ = pa_simple_new(nullptr, "KVEN probe", PA_STREAM_RECORD, source.c_str(), "monitor", &spec, nullptr, &attr,
                           &error);
        if (!s_)
            throw KvenError("cannot record " + source);
        thread_ = std::thread([this] { run(); });
    }
    ~Monitor()
    {
        stop_ = true;
        thread_.join();
        pa_simple_free(s_);
    }

    struct Block {
        Clock::time_point at;
        bool loud;
    };
    std::vector<Block> since(Clock::time_point t)
    {
        std::lock_guard lock(mutex_);
        std::vector<Block> out;
        for (const Block& b : blocks_)
            if (b.at >= t)
                out.push_back(b);
        return out;
    }
    // Waits for the first loud block after `t`.
    std::optional<Clock::time_point> firstLoud(Clock::time_point t, std::chrono::milliseconds limit)
    {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            for (const Block& b : since(t))
                if (b.loud)
                    return b.at;
            std::this_thread::sleep_for(2ms);
        }
        return std::nullopt;
    }

private:
    static constexpr std::size_t kBlock = 480;
    void run()
    {
        std::vector<std::int16_t> buf(kBlock);
        while (!stop_) {
            int error = 0;
            if (pa_simple_read(s_, buf.data(), buf.size() * 2, &error) < 0)
                return;
            double sum = 0;
            for (const std::int16_t x : buf)
                sum += static_cast<double>(x) * x;
            const bool loud = std::sqrt(sum / kBlock) > 300;
            std::lock_guard lock(mutex_);
            blocks_.push_back({Clock::now(), loud});
        }
    }

    pa_simple* s_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Block> blocks_;
    std::thread thread_;
};

// The window's pause: due on a clock that the event loop checks, never sleeping in a step.
class LoopWaiter : public Waiter {
public:
    void after(int milliseconds, std::function<void()> then) override
    {
        due_.emplace_back(Clock::now() + std::chrono::milliseconds(milliseconds), std::move(then));
    }
    void runDue()
    {
        const auto now = Clock::now();
        for (std::size_t i = 0; i < due_.size();) {
            if (due_[i].first > now) {
                ++i;
                continue;
            }
            std::function<void()> then = std::move(due_[i].second);
            due_.erase(due_.begin() + static_cast<std::ptrdiff_t>(i));
            then();
        }
    }

private:
    std::vector<std::pair<Clock::time_point, std::function<void()>>> due_;
};

struct Rig {
    Rig(const std::string& sink, const std::string& voices, const std::string& utf8Text, bool sleeping = false)
        : engine(loop, setupFor(voices), makePulseOutput(sink)),
          reader(session, engine, sleeping ? static_cast<Waiter&>(sleeper) : timer)
    {
        session.setText(cp932::fromUtf8(utf8Text));
        session.setTalkSymbols(cp932::fromUtf8("、。ー々\r\n"));
        engine.setOnEndStream([this](int s, std::int64_t p) {
            ++events;
            lastEvent = Clock::now();
            reader.endOfStream(s, p);
        });
        engine.setEventInterests(kAllEvents);
    }
    static OpenJTalkSetup setupFor(const std::string& voices)
    {
        OpenJTalkSetup setup;
        setup.voiceFolders = {voices};
        return setup;
    }
    void runUntilIdle(std::chrono::seconds limit)
    {
        const auto deadline = Clock::now() + limit;
        while (session.reading() && Clock::now() < deadline) {
            timer.runDue();
            loop.runOne(1ms);
        }
    }

    EventQueue loop;
    Session session;
    SleepWaiter sleeper;
    LoopWaiter timer;
    OpenJTalkEngine engine;
    Reader reader;
    int events = 0;
    Clock::time_point lastEvent;
};

const char* const kFirstChunk = "吾輩は猫である。";

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: speech_probe SINK VOICE_FOLDER\n");
        return 2;
    }
    const std::string sink = argv[1], voices = argv[2];
    try {
        Monitor monitor(sink);
        std::this_thread::sleep_for(300ms);

        // Start to first sound, against the bare synthesizer on the same chunk plus the pause.
        std::vector<double> ours, raw;
        for (int run = 0; run < 5; ++run) {
            Rig rig(sink, voices, std::string(kFirstChunk) + "\r\n名前はまだ無い。\r\n", true);
            const auto start = Clock::now();
            rig.reader.start();
            const auto heard = monitor.firstLoud(start, 10s);
            if (heard)
                ours.push_back(ms(*heard - start));
            rig.reader.stop();
            rig.runUntilIdle(5s);
            std::this_thread::sleep_for(300ms);

            const OpenJTalkSetup setup = Rig::setupFor(voices);
            const Voicing voicing{voices + "/mei/mei_normal.htsvoice", speedForRate(0)};
            const std::atomic<bool> never{false};
            const auto t = Clock::now();
            synthesizePiece(setup, voicing, kFirstChunk, never);
            raw.push_back(ms(Clock::now() - t) + kPauseBeforeSpeechMs);
        }
        // The output path alone: from opening a stream to a tone at the monitor.
        std::vector<double> path;
        auto output = makePulseOutput(sink);
        Samples tone(samplesForMs(300));
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.0576));
        for (int run = 0; run < 5; ++run) {
            const auto t = Clock::now();
            const std::atomic<bool> go{false};
            auto stream = output->open(go);
            stream->write(tone, go);
            if (const auto heard = monitor.firstLoud(t, 5s))
                path.push_back(ms(*heard - t));
            stream->drain(go);
            std::this_thread::sleep_for(200ms);
        }
        std::printf("start-to-first-sound: median %.0f ms; bare synthesizer + %d ms: median %.0f ms, ratio %.2f "
                    "(target <= 1.1); with the output path's own latency (median %.0f ms) added to the bare "
                    "synthesizer: ratio %.2f\n",
                    median(ours), kPauseBeforeSpeechMs, median(raw), median(ours) / median(raw), median(path),
                    median(ours) / (median(raw) + median(path)));

        // Audible gaps between consecutive utterances: sentences without inner pauses, so the
        // largest silences are the ones between utterances.
        const std::vector<std::string> lines = {"吾輩は猫である。",
                                                "名前はまだ無い。",
                                                "どこで生れたか見当がつかぬ。",
                                                "何でも薄暗い所で泣いていた。",
                                                "吾輩はここで始めて人間を見た。",
                                                "しかもあとで聞くと書生という人間だった。",
                                                "この書生は時々我々を捕えて煮て食う。",
                                                "しかしその当時は何という考もなかった。",
                                                "ただ彼の掌に載せられた。",
                                                "スーと持ち上げられた時何だかフワフワした感じがあった。"};
        std::string text;
        for (const auto& l : lines)
            text += l + "\r\n";
        // The pause on the event loop's clock, as the window has it, and sleeping in the step,
        // as it was before: the gaps must be the same.
        for (const bool sleeping : {false, true}) {
            Rig rig(sink, voices, text, sleeping);
            const auto start = Clock::now();
            rig.reader.start();
            rig.runUntilIdle(120s);
            std::this_thread::sleep_for(300ms);
            std::vector<double> gaps;
            std::optional<Clock::time_point> lastLoud;
            Clock::time_point quietFrom{};
            bool quiet = false;
            for (const auto& b : monitor.since(start)) {
                if (b.loud) {
                    if (quiet && lastLoud)
                        gaps.push_back(ms(b.at - quietFrom));
                    lastLoud = b.at;
                    quiet = false;
                } else if (!quiet) {
                    quiet = true;
                    quietFrom = b.at;
                }
            }
            std::sort(gaps.rbegin(), gaps.rend());
            // One utterance per line that passed the filter, each ending with its event.
            const std::size_t spoken = static_cast<std::size_t>(rig.events);
            gaps.resize(std::min(gaps.size(), spoken > 0 ? spoken - 1 : 0));
            std::printf("audible gap between utterances (pause %s): median %.0f ms, largest %.0f ms over %zu gaps; "
                        "%d of %zu utterances synthesized ahead (target median <= 300 ms with the %d ms pause)\n",
                        sleeping ? "sleeping in the step" : "on the event loop's clock", median(gaps),
                        gaps.empty() ? 0.0 : gaps.front(), gaps.size(), rig.engine.preparedHits(), spoken,
                        kPauseBeforeSpeechMs);
        }

        // Skip: from the call to silence at the monitor and to the end-of-stream event.
        std::vector<double> toSilence, toEvent;
        for (int run = 0; run < 5; ++run) {
            std::string longText;
            for (int i = 0; i < 6; ++i)
                longText += "吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ";
            Rig r(sink, voices, longText + "\r\n", true);
            r.reader.start();
            if (!monitor.firstLoud(Clock::now() - 50ms, 10s))
                continue;
            std::this_thread::sleep_for(1s);
            const int before = r.events;
            const auto skip = Clock::now();
            r.reader.stop();
            while (r.events == before && Clock::now() - skip < 5s)
                r.loop.runOne(1ms);
            toEvent.push_back(ms(r.lastEvent - skip));
            std::this_thread::sleep_for(300ms);
            for (const auto& b : monitor.since(skip))
                if (!b.loud) {
                    toSilence.push_back(ms(b.at - skip));
                    break;
                }
        }
        std::printf("skip: silence at the monitor after median %.0f ms (max %.0f), end-of-stream event after median "
                    "%.0f ms (target <= 50 ms)\n",
                    median(toSilence), toSilence.empty() ? 0.0 : *std::max_element(toSilence.begin(), toSilence.end()),
                    median(toEvent));
    } catch (const KvenError& e) {
        std::fprintf(stderr, "speech_probe: %s\n", e.what());
        return 1;
    }
    return 0;
}
