#include "speech/OpenJTalk.h"

#include "files/Errors.h"

namespace kven {

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
