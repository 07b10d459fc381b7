#pragma once
// The reading commands of the window, whatever asks for them: its buttons, menus and function
// keys and the desktop's media controls run the same ones, and learn from one place when
// reading starts and stops. Pause is the media controls' own.

#include <functional>
#include <utility>
#include <vector>

namespace kven {

class ReadingCommands {
public:
    struct Handlers {
        std::function<void()> start;
        std::function<void()> stop;
        // Stop, with the chunk being said to be said again by the next start.
        std::function<void()> pause;
        std::function<void()> paste;
        std::function<void()> again;
        // Next that many chunks, or Previous for a negative count, as one command.
        std::function<void(int chunks)> move;
        // Closes the window; false when it stayed open.
        std::function<bool()> quit;
        std::function<bool()> reading;
    };

    explicit ReadingCommands(Handlers handlers) : handlers_(std::move(handlers)) {}

    void start() { handlers_.start(); }
    void stop() { handlers_.stop(); }
    void pause() { handlers_.pause(); }
    void paste() { handlers_.paste(); }
    void again() { handlers_.again(); }
    void next(int chunks = 1) { handlers_.move(chunks); }
    void previous(int chunks = 1) { handlers_.move(-chunks); }
    bool quit() { return handlers_.quit(); }
    bool reading() const { return handlers_.reading(); }

    // `listener` hears every change of the reading state, with the state it changed to, until
    // forget() is given the number this returns.
    int onReadingChanged(std::function<void(bool reading)> listener)
    {
        listeners_.emplace_back(++lastListener_, std::move(listener));
        return lastListener_;
    }
    void forget(int listener)
    {
        std::erase_if(listeners_, [listener](const auto& l) { return l.first == listener; });
    }
    // The window tells whenever the state may have changed; listeners hear only real changes.
    void readingStateMayHaveChanged();

private:
    Handlers handlers_;
    std::vector<std::pair<int, std::function<void(bool)>>> listeners_;
    int lastListener_ = 0;
    bool reading_ = false;
};

} // namespace kven
