#pragma once
// Reads the reading dictionary for the window. A dictionary of ordinary size is read at once,
// so that the first chunk already has it; a larger one is read by a thread of its own, the one
// in use staying until it is ready. The thread touches nothing of the window's: it hands its
// result over under a mutex that the event loop looks at now and then.

#include "settings/DictionaryFile.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace kven {

class DictionaryLoader : public QObject {
public:
    // `use` gets each dictionary read, on the event loop; an exception it throws reaches the
    // caller of load() for a dictionary read at once, and `failed` for one read by the thread.
    DictionaryLoader(std::string path, std::function<void(DictionaryFile)> use,
                     std::function<void(std::function<void()>)> run);
    ~DictionaryLoader() override;

    // Reads the file afresh. Of loads that overlap, only the latest one's result is used.
    void load();
    // A load is under way off the event loop.
    bool loading() const { return loading_; }

private:
    std::string path_;
    std::function<void(DictionaryFile)> use_;
    std::function<void(std::function<void()>)> run_;
    std::uint64_t loads_ = 0;
    std::thread thread_;
    bool loading_ = false;
};

} // namespace kven
