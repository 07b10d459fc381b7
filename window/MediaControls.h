#pragma once
// The window as a media player of the desktop (MPRIS on the session bus), so that media keys
// and the panel's player controls reach it: play and stop run the window's Start and Stop
// commands, pause (and play/pause while reading) its Pause, which says the interrupted chunk
// again on play; next and previous run its Next and Previous, quit its Quit. The playback
// status follows the reading state ("Paused" once a pause stopped it); the metadata are the
// document's title and author (as the audiobook export tags them) and its length, and the
// position is the cursor's, both as times at the speed in use.

#include "state/Session.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QDBusAbstractAdaptor;

namespace kven {

class ProgressLine;
class ReadingCommands;
// The two interfaces on the bus, one adaptor each (in MediaControls.cpp).
class MediaPlayer2Adaptor;
class MediaPlayer2PlayerAdaptor;

class MediaControls : public QObject {
public:
    // Serves the window's session and commands on the session bus under the player's name,
    // taking the name over from a copy that is closing; the times are the status line's.
    // Null, after one line on standard error, when there is no session bus or the name cannot
    // be had; the window then runs without.
    static std::unique_ptr<MediaControls> onSessionBus(const Session& session, ReadingCommands& commands,
                                                       const ProgressLine& pace);
    // Serves them on `bus` as it is, registering nothing: tests call the interfaces' slots,
    // the children of this object, by their names on the bus.
    MediaControls(const Session& session, ReadingCommands& commands, const ProgressLine& pace, QDBusConnection bus);
    ~MediaControls() override;

private:
    friend class MediaPlayer2Adaptor;
    friend class MediaPlayer2PlayerAdaptor;

    bool reading() const;
    // The time reading the text up to `bytes` takes, as the status line counts it.
    qlonglong microsecondsFor(std::size_t bytes) const;
    void raiseWindow();
    void quit();
    // Runs a window command once the call has had its answer: a command may show an error box,
    // and the caller should not wait for it.
    void later(std::function<void()> command);
    // The reading commands wait and run together, once the calls have had their answers: a
    // flood of them (a held-down key) comes down to the states asked for last, with the moves
    // of Next and Previous counted, in their order.
    enum class Command { reading, stopped, paused, next, previous };
    static bool isState(Command command);
    void command(Command command);
    void playPause();
    // Whether reading will be going on once the waiting commands have run.
    bool readingWanted() const;
    void runWaitingCommands();
    // Tells the bus the value `property` of `adaptor` has now.
    void emitChanged(const QDBusAbstractAdaptor& adaptor, const char* property);
    void readingStateChanged();
    void setPaused(bool paused);
    void captionChanged();

    const Session& session_;
    ReadingCommands& commands_;
    const ProgressLine& pace_;
    QDBusConnection bus_;
    MediaPlayer2PlayerAdaptor* player_;
    Session::Subscription subscription_;
    // Reading was stopped by a pause and has not started since, nor been stopped.
    bool paused_ = false;
    // Runs of one command merged: a state asked for replaces the one asked for just before
    // it, and a move repeated adds to its count.
    struct Waiting {
        Command command;
        int count;
    };
    std::vector<Waiting> waiting_;
    // Changes with the caption, so that a new document is a new track.
    int track_ = 0;
};

} // namespace kven
