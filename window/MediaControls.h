#pragma once
// The window as a media player of the desktop (MPRIS on the session bus), so that media keys
// and the panel's player controls reach it: play, pause, stop and play/pause run the window's
// Start and Stop commands, next and previous its Next and Previous, quit its Quit; the
// playback status follows the reading state and the title is the document's file name.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

namespace kven {

class MainWindow;
class ReadingCommands;

class MediaControls : public QDBusVirtualObject {
public:
    // Serves `form` on the session bus under the player's name, taking the name over from a
    // copy that is closing. Null, after one line on standard error, when there is no session
    // bus or the name cannot be had; the window then runs without.
    static std::unique_ptr<MediaControls> onSessionBus(MainWindow& form);
    // Serves `form` on `bus` as it is, registering nothing (tests hand messages in).
    MediaControls(MainWindow& form, QDBusConnection bus);
    ~MediaControls() override;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    bool reading() const;
    QString playbackStatus() const;
    QString title() const;
    QVariantMap metadata() const;
    QVariantMap properties(const QString& interface) const;
    // Runs a window command once the call has had its answer: a command may show an error box,
    // and the caller should not wait for it.
    void later(std::function<void()> command);
    // The reading commands wait and run together, once the calls have had their answers: a
    // flood of them (a held-down key) comes down to the states asked for last, with the moves
    // of Next and Previous counted, in their order.
    enum class Command { reading, stopped, next, previous };
    void command(Command command);
    // Whether reading will be going on once the waiting commands have run.
    bool readingWanted() const;
    void runWaitingCommands();
    void emitChanged(const QString& interface, const QVariantMap& changed);
    void readingStateChanged();
    void captionChanged();

    MainWindow& form_;
    ReadingCommands& commands_;
    int listener_ = 0;
    QDBusConnection bus_;
    bool reading_ = false;
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
