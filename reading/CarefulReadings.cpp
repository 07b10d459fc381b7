#include "reading/CarefulReadings.h"

#include "reading/ReadingCorrections.h"
#include "reading/ReadingFold.h"
#include "text/Sjis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace kven {

std::vector<Insertion> taughtInsertions(std::span<const PlaceReading> taught, std::size_t from, std::size_t length)
{
    std::vector<Insertion> out;
    const auto first = std::lower_bound(taught.begin(), taught.end(), from,
                                        [](const PlaceReading& place, std::size_t at) { return place.offset < at; });
    for (auto place = first; place != taught.end() && place->offset + place->length <= from + length; ++place)
        out.push_back({place->offset + place->length - from,
                       std::string(sjis::kRubyOpen) + place->reading + std::string(sjis::kRubyClose)});
    return out;
}

namespace {

// Replaces [from, to) by `with`.
struct Edit {
    std::size_t from;
    std::size_t to;
    std::string with;
};

std::string applied(std::string_view text, std::vector<Edit> edits)
{
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (const Edit& edit : edits) {
        // Edits never overlap by construction; one that would is passed over.
        if (edit.from < at)
            continue;
        out.append(text.substr(at, edit.from - at));
        out.append(edit.with);
        at = edit.to;
    }
    out.append(text.substr(at));
    return out;
}

} // namespace

namespace {

std::string workedOut(std::string_view text, const SynthesizerWords& synthesizer, bool rubies, bool corrections);

// The chunks last worked out on this thread: the look-ahead works out the chunk that the next
// step says, and the status line's walk the chunks of the text. Those worked out ahead are
// shared between the threads.
struct Remembered {
    std::uint64_t synthesizer = 0; // its serial

    bool rubies = false;
    bool corrections = false;
    std::string text;
    std::string result;
};
constexpr std::size_t kRemembered = 2;

bool matches(const Remembered& r, std::string_view text, const SynthesizerWords& synthesizer, bool rubies,
             bool corrections)
{
    return r.synthesizer == synthesizer.serial() && r.rubies == rubies && r.corrections == corrections &&
           r.text == text;
}

struct WorkedOutAhead {
    std::mutex mutex;
    std::array<Remembered, kRemembered> remembered;
    std::size_t next = 0;
};

WorkedOutAhead& workedOutAhead()
{
    static WorkedOutAhead ahead;
    return ahead;
}

} // namespace

std::string withCarefulReadings(std::string_view text, const SynthesizerWords& synthesizer, bool rubies,
                                bool corrections)
{
    if (!rubies && !corrections)
        return std::string(text);
    thread_local std::array<Remembered, kRemembered> remembered;
    thread_local std::size_t next = 0;
    for (const Remembered& r : remembered)
        if (matches(r, text, synthesizer, rubies, corrections))
            return r.result;
    std::optional<std::string> result;
    {
        WorkedOutAhead& ahead = workedOutAhead();
        const std::lock_guard lock(ahead.mutex);
        for (const Remembered& r : ahead.remembered)
            if (matches(r, text, synthesizer, rubies, corrections))
                result = r.result;
    }
    if (!result)
        result = workedOut(text, synthesizer, rubies, corrections);
    // Remembered only once worked out: a failure leaves nothing behind to be taken for a result.
    Remembered& slot = remembered[next];
    next = (next + 1) % kRemembered;
    slot = {synthesizer.serial(), rubies, corrections, std::string(text), std::move(*result)};
    return slot.result;
}

ReadingsAhead::~ReadingsAhead()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void ReadingsAhead::workOut(std::string text, const SynthesizerWords& synthesizer, bool rubies, bool corrections)
{
    if (!rubies && !corrections)
        return;
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        waiting_ = Request{std::move(text), &synthesizer, rubies, corrections};
        pending_.store(true, std::memory_order_release);
        wake = sleeping_;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    // Waking a sleeping thread costs the step more than the rest of its look-ahead; a thread
    // still looking for work finds the request by itself.
    if (wake)
        changed_.notify_all();
}

bool ReadingsAhead::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !waiting_ && !busy_; });
}

void ReadingsAhead::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!quit_ && !waiting_) {
            // The next request usually comes within the step after: looked for a moment before
            // sleeping, at the cost of that moment once a chunk.
            lock.unlock();
            const auto until = std::chrono::steady_clock::now() + kLookingForWork;
            while (!pending_.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            lock.lock();
        }
        sleeping_ = true;
        changed_.wait(lock, [this] { return quit_ || waiting_.has_value(); });
        sleeping_ = false;
        if (quit_)
            return;
        Request request = std::move(*waiting_);
        waiting_.reset();
        pending_.store(false, std::memory_order_relaxed);
        busy_ = true;
        lock.unlock();
        WorkedOutAhead& ahead = workedOutAhead();
        bool known = false;
        {
            const std::lock_guard shared(ahead.mutex);
            for (const Remembered& r : ahead.remembered)
                known = known || matches(r, request.text, *request.synthesizer, request.rubies, request.corrections);
        }
        if (!known) {
            std::string result = workedOut(request.text, *request.synthesizer, request.rubies, request.corrections);
            const std::lock_guard shared(ahead.mutex);
            ahead.remembered[ahead.next] = {request.synthesizer->serial(), request.rubies, request.corrections,
                                            std::move(request.text), std::move(result)};
            ahead.next = (ahead.next + 1) % kRemembered;
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

namespace {

// Whether `text` holds a ruby's "《".
bool hasRuby(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i))
        if (text.substr(i, sjis::kRubyOpen.size()) == sjis::kRubyOpen)
            return true;
    return false;
}

std::string workedOut(std::string_view text, const SynthesizerWords& synthesizer, bool rubies, bool corrections)
{
    rubies = rubies && hasRuby(text);
    corrections = corrections && mayNeedCorrection(text);
    if (!rubies && !corrections)
        return std::string(text);
    const BaseText base = baseText(text);
    const std::vector<SpokenWord> words = synthesizer.words(base.text);
    // Where the byte at `original` of `text`, or the next one kept, stands in the base text.
    const auto inBase = [&](std::size_t original) {
        return static_cast<std::size_t>(std::lower_bound(base.from.begin(), base.from.end(), original) -
                                        base.from.begin());
    };
    std::vector<Edit> edits;
    if (rubies) {
        const std::vector<Ruby> all = kven::rubies(text);
        for (std::size_t k = 0; k < all.size(); ++k) {
            const Ruby& ruby = all[k];
            // Without its reading, a base would join the base of a ruby right after it, whose
            // reading would then stand for both.
            if (k + 1 < all.size() && all[k + 1].base == ruby.close)
                continue;
            const std::size_t begin = inBase(ruby.base);
            const std::size_t end = inBase(ruby.open);
            const std::size_t readingAt = ruby.open + sjis::kRubyOpen.size();
            const std::string_view reading = text.substr(readingAt, ruby.close - sjis::kRubyClose.size() - readingAt);
            if (end <= begin || !synthesizerSays(words, begin, end - begin, reading))
                continue;
            const std::size_t bar = ruby.base - std::min(ruby.base, sjis::kRubyBaseMark.size());
            if (text.substr(bar, ruby.base - bar) == sjis::kRubyBaseMark)
                edits.push_back({bar, ruby.base, {}});
            edits.push_back({ruby.open, ruby.close, {}});
        }
    }
    if (corrections) {
        for (const PlaceReading& place : readingCorrections(base.text, words)) {
            const auto rubied = base.rubied.begin() + static_cast<std::ptrdiff_t>(place.offset);
            if (std::any_of(rubied, rubied + static_cast<std::ptrdiff_t>(place.length), [](bool b) { return b; }))
                continue;
            edits.push_back({base.from[place.offset], base.from[place.offset + place.length - 1] + 1, place.reading});
        }
    }
    return applied(text, std::move(edits));
}

} // namespace

} // namespace kven
