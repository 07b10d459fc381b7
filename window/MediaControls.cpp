#include "window/MediaControls.h"

#include "intake/DocumentOutline.h"
#include "window/ProgressLine.h"
#include "window/ReadingCommands.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QMetaClassInfo>
#include <QStringList>
#include <QVariantMap>

#include <cmath>
#include <cstdio>

namespace kven {

namespace {

const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.kven");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

void warn(const char* line)
{
    std::fprintf(stderr, "kven: %s; media keys and the desktop's player controls will not reach this window\n", line);
}

} // namespace

// What the two interfaces share: the controls they serve, and the values of their fixed
// properties.
class MediaAdaptor : public QDBusAbstractAdaptor {
protected:
    explicit MediaAdaptor(MediaControls& controls) : QDBusAbstractAdaptor(&controls), controls_(controls) {}
    bool yes() const { return true; }
    bool no() const { return false; }

    MediaControls& controls_;
};

// The bus library answers introspection and the property interface (Get, GetAll, Set) from
// the Q_PROPERTY lines, and calls the public slots by their names.
class MediaPlayer2Adaptor : public MediaAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit MediaPlayer2Adaptor(MediaControls& controls) : MediaAdaptor(controls) {}

public slots:
    void Raise() { controls_.raiseWindow(); }
    void Quit() { controls_.quit(); }

private:
    QString identity() const { return QStringLiteral("KVEN"); }
    QString desktopEntry() const { return QStringLiteral("kven"); }
    QStringList none() const { return {}; }
};

class MediaPlayer2PlayerAdaptor : public MediaAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    // The rate and the volume may be set, to no effect: reading has one of each.
    Q_PROPERTY(double Rate READ one WRITE ignore)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ one WRITE ignore)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

    using Command = MediaControls::Command;

public:
    explicit MediaPlayer2PlayerAdaptor(MediaControls& controls) : MediaAdaptor(controls) {}

public slots:
    void Play() { controls_.command(Command::reading); }
    void PlayPause() { controls_.playPause(); }
    void Pause() { controls_.command(Command::paused); }
    void Stop() { controls_.command(Command::stopped); }
    void Next() { controls_.command(Command::next); }
    void Previous() { controls_.command(Command::previous); }
    // Nothing can be sought or opened.
    void Seek(qlonglong Offset) { Q_UNUSED(Offset) }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
    {
        Q_UNUSED(TrackId)
        Q_UNUSED(Position)
    }
    void OpenUri(const QString& Uri) { Q_UNUSED(Uri) }

signals:
    // Never sent, as nothing can be sought; a caller may still listen for it.
    void Seeked(qlonglong Position);

private:
    QString playbackStatus() const
    {
        if (controls_.reading())
            return QStringLiteral("Playing");
        return controls_.paused_ ? QStringLiteral("Paused") : QStringLiteral("Stopped");
    }
    QVariantMap metadata() const
    {
        // As the audiobook export tags the document.
        const Outline info = currentOutline(controls_.session_, false);
        QVariantMap data = {
            {QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/kven/document/%1").arg(controls_.track_)))},
            {QStringLiteral("xesam:title"), QString::fromStdString(info.title)},
            {QStringLiteral("mpris:length"), controls_.microsecondsFor(controls_.session_.text().size())}};
        if (!info.author.empty())
            data.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromStdString(info.author)});
        return data;
    }
    double one() const { return 1.0; }
    void ignore(double) {}
    qlonglong position() const { return controls_.microsecondsFor(controls_.session_.selStart()); }
};

std::unique_ptr<MediaControls> MediaControls::onSessionBus(const Session& session, ReadingCommands& commands,
                                                           const ProgressLine& pace)
{
    // Without an address the bus library would try to start a bus of its own.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        warn("no session bus");
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        warn("the session bus cannot be reached");
        return nullptr;
    }
    std::unique_ptr<MediaControls> controls(new MediaControls(session, commands, pace, bus));
    if (!bus.registerObject(kObjectPath, controls.get(), QDBusConnection::ExportAdaptors)) {
        warn("the player's object path is taken");
        return nullptr;
    }
    // One copy runs at a time: a copy that is handing over to this one gives the name up.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> name = bus.interface()->registerService(
        kBusName, QDBusConnectionInterface::ReplaceExistingService, QDBusConnectionInterface::AllowReplacement);
    if (!name.isValid() || name.value() != QDBusConnectionInterface::ServiceRegistered) {
        warn("the player's name on the session bus is taken");
        return nullptr;
    }
    return controls;
}

MediaControls::MediaControls(const Session& session, ReadingCommands& commands, const ProgressLine& pace,
                             QDBusConnection bus)
    : session_(session), commands_(commands), pace_(pace), bus_(std::move(bus)),
      player_(new MediaPlayer2PlayerAdaptor(*this))
{
    new MediaPlayer2Adaptor(*this);
    subscription_ = session_.subscribe([this](Session::Changes changes) {
        if ((changes & Session::readingChanged) != 0)
            readingStateChanged();
        if ((changes & Session::captionChanged) != 0)
            captionChanged();
    });
}

MediaControls::~MediaControls()
{
    bus_.unregisterObject(kObjectPath);
}

bool MediaControls::reading() const
{
    return session_.reading();
}

qlonglong MediaControls::microsecondsFor(std::size_t bytes) const
{
    // At the pace reading has shown so far, as the status line counts.
    return static_cast<qlonglong>(pace_.secondsBetween(0, bytes) * 1e6);
}

void MediaControls::raiseWindow()
{
    later([this] { commands_.raise(); });
}

void MediaControls::quit()
{
    later([this] { commands_.quit(); });
}

void MediaControls::later(std::function<void()> command)
{
    QMetaObject::invokeMethod(this, std::move(command), Qt::QueuedConnection);
}

bool MediaControls::isState(Command command)
{
    return command == Command::reading || command == Command::stopped || command == Command::paused;
}

void MediaControls::command(Command command)
{
    const bool state = isState(command);
    if (!waiting_.empty()) {
        Waiting& last = waiting_.back();
        if (state && isState(last.command)) {
            last.command = command;
            return;
        }
        if (!state && last.command == command) {
            ++last.count;
            return;
        }
    }
    waiting_.push_back({command, 1});
    if (waiting_.size() == 1)
        later([this] { runWaitingCommands(); });
}

void MediaControls::playPause()
{
    command(readingWanted() ? Command::paused : Command::reading);
}

bool MediaControls::readingWanted() const
{
    bool wanted = reading();
    // Next and Previous start reading when it is stopped.
    for (const Waiting& waiting : waiting_)
        wanted = waiting.command != Command::stopped && waiting.command != Command::paused;
    return wanted;
}

void MediaControls::runWaitingCommands()
{
    const std::vector<Waiting> commands = std::move(waiting_);
    waiting_.clear();
    for (const Waiting& waiting : commands) {
        switch (waiting.command) {
        case Command::reading:
            if (!reading())
                commands_.start();
            break;
        case Command::stopped:
            setPaused(false);
            if (reading())
                commands_.stop();
            break;
        case Command::paused:
            if (reading()) {
                // Before the command, so that the change of state is told as "Paused".
                paused_ = true;
                commands_.pause();
                // A pause that failed leaves reading on: its end will be no pause.
                paused_ = !reading();
            }
            break;
        case Command::next: commands_.next(waiting.count); break;
        case Command::previous: commands_.previous(waiting.count); break;
        }
    }
}

void MediaControls::readingStateChanged()
{
    if (reading())
        paused_ = false;
    emitChanged(*player_, "PlaybackStatus");
}

void MediaControls::setPaused(bool paused)
{
    if (paused_ == paused)
        return;
    paused_ = paused;
    if (!reading())
        emitChanged(*player_, "PlaybackStatus");
}

void MediaControls::captionChanged()
{
    ++track_;
    emitChanged(*player_, "Metadata");
}

void MediaControls::emitChanged(const QDBusAbstractAdaptor& adaptor, const char* property)
{
    const QMetaObject& meta = *adaptor.metaObject();
    const QString interface = QString::fromLatin1(meta.classInfo(meta.indexOfClassInfo("D-Bus Interface")).value());
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << QVariantMap{{QString::fromLatin1(property), adaptor.property(property)}} << QStringList();
    bus_.send(signal);
}

} // namespace kven

#include "MediaControls.moc"
