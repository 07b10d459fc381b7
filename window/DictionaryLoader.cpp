#include "window/DictionaryLoader.h"

#include <QTimer>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

namespace kven {

namespace {

// Read in a few milliseconds; larger dictionaries would hold the window up.
constexpr std::uintmax_t kReadAtOnce = 1 << 20;
constexpr int kPollMs = 50;

// What the reading thread hands over.
struct Handover {
    std::mutex mutex;
    std::optional<DictionaryFile> words;
};

} // namespace

DictionaryLoader::DictionaryLoader(std::string path, std::function<void(DictionaryFile)> use,
                                   std::function<void(std::function<void()>)> run)
    : path_(std::move(path)), use_(std::move(use)), run_(std::move(run))
{
}

DictionaryLoader::~DictionaryLoader()
{
    if (thread_.joinable())
        thread_.join();
}

void DictionaryLoader::load()
{
    const std::uint64_t load = ++loads_;
    loading_ = false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path_, error);
    if (error || size <= kReadAtOnce) {
        use_(readDictionaryFile(path_));
        return;
    }
    // One reading thread at a time: a load still running is waited for (a Reload during it).
    if (thread_.joinable())
        thread_.join();
    loading_ = true;
    auto handover = std::make_shared<Handover>();
    thread_ = std::thread([path = path_, handover] {
        DictionaryFile words = readDictionaryFile(path);
        std::lock_guard lock(handover->mutex);
        handover->words = std::move(words);
    });
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, handover, load, poll] {
        std::optional<DictionaryFile> arrived;
        {
            std::lock_guard lock(handover->mutex);
            if (!handover->words)
                return;
            arrived = std::move(handover->words);
        }
        poll->deleteLater();
        if (load != loads_)
            return;
        thread_.join();
        loading_ = false;
        run_([this, &arrived] { use_(std::move(*arrived)); });
    });
    poll->start(kPollMs);
}

} // namespace kven
