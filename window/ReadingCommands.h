#pragma once
// The reading commands of the window, whatever asks for them: its buttons, menus and function
// keys and the desktop's media controls run the same ones. Pause is the media controls' own;
// whether reading is on is the session's to tell.

#include <functional>
#include <utility>

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
        // Brings the window to the front, out of the task bar when minimized.
        std::function<void()> raise;
        // Closes the window; false when it stayed open.
        std::function<bool()> quit;
    };

    explicit ReadingCommands(Handlers handlers) : handlers_(std::move(handlers)) {}

    void start() { handlers_.start(); }
    void stop() { handlers_.stop(); }
    void pause() { handlers_.pause(); }
    void paste() { handlers_.paste(); }
    void again() { handlers_.again(); }
    void next(int chunks = 1) { handlers_.move(chunks); }
    void previous(int chunks = 1) { handlers_.move(-chunks); }
    void raise() { handlers_.raise(); }
    bool quit() { return handlers_.quit(); }

private:
    Handlers handlers_;
};

} // namespace kven
