#pragma once
// What a careful reader says where the synthesizer would misread: readings the book teaches,
// put in as ruby where it leaves them out; a ruby's reading handed over only where the
// synthesizer would say something else, so that its own accent is kept; and the rows of
// reading corrections. Texts are Shift_JIS.

#include "reading/BookReadings.h"
#include "reading/SynthesizerWords.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace kven {

// Where the readings of `taught` (places in the whole text) that lie in [from, from + length)
// go, as ruby "《reading》" right after each place: offsets from `from`, each with its text.
struct Insertion {
    std::size_t at = 0;
    std::string text;
};
std::vector<Insertion> taughtInsertions(std::span<const PlaceReading> taught, std::size_t from, std::size_t length);

// `text` (a chunk mapped to full width, its ruby and notes still in) as the synthesizer's
// analysis `synthesizer` reads it: with `rubies`, a ruby whose base the synthesizer already
// says as its reading loses its "《reading》" and its "｜"; with `corrections`, a word outside
// any ruby that a row of readingCorrections() applies to is replaced by the row's reading in
// katakana.
std::string withCarefulReadings(std::string_view text, const SynthesizerWords& synthesizer, bool rubies,
                                bool corrections);

// Works out withCarefulReadings() on a thread of its own, for a chunk that a step is about to
// need: the analysis runs during the pause before speech instead of in the step, and the step's
// withCarefulReadings() finds it done. Only the latest request counts; one that is still
// waiting when another comes is dropped. The synthesizer must outlive the object, which joins
// its thread when destroyed.
class ReadingsAhead {
public:
    ReadingsAhead() = default;
    ~ReadingsAhead();
    ReadingsAhead(const ReadingsAhead&) = delete;
    ReadingsAhead& operator=(const ReadingsAhead&) = delete;

    void workOut(std::string text, const SynthesizerWords& synthesizer, bool rubies, bool corrections);
    // Waits until no request is waiting or being worked out, or `timeout` has passed; whether
    // it is idle.
    bool waitIdle(std::chrono::milliseconds timeout);

private:
    struct Request {
        std::string text;
        const SynthesizerWords* synthesizer = nullptr;
        bool rubies = false;
        bool corrections = false;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    static constexpr std::chrono::microseconds kLookingForWork{200};
    std::optional<Request> waiting_;
    std::atomic<bool> pending_{false}; // a request waits; read without the lock
    bool sleeping_ = false;            // the thread waits on `changed_`
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_; // started by the first request
};

} // namespace kven
