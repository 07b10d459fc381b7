#pragma once
// The figures of an export's progress: the share of the document whose speech is in the
// file, the time so far, and the time left at the pace so far.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kven {

// "m:ss", or "h:mm:ss" from an hour on, rounded to the second.
std::string clockText(double seconds);

class ExportProgress {
public:
    // The export reads the text from byte `from` to its end, byte `size`.
    ExportProgress(std::size_t from, std::size_t size) : from_(from), size_(size) {}

    // At each end-of-stream event, in order: the reading step has moved the cursor past the
    // utterance's chunk, to `cursor`.
    void utteranceEnded(std::size_t cursor) { ends_.push_back(cursor); }
    // The share of the text whose speech is in the file once the first `written` utterances
    // are, 0 to 1.
    double done(std::size_t written) const;
    // The time left at the pace so far, once enough is done to tell.
    static std::optional<double> timeLeft(double done, double elapsed);
    // The line once the first `written` utterances are in the file, `elapsed` seconds after
    // the start. It begins with a carriage return, so that the next one writes over it.
    std::string line(std::size_t written, double elapsed) const;
    // The closing line, with its line break: the length of the speech written and the time it took.
    static std::string endLine(double speech, double elapsed);

private:
    std::size_t from_;
    std::size_t size_;
    std::vector<std::size_t> ends_;
};

} // namespace kven
