#include "window/MediaControls.h"

#include "intake/Intake.h"
#include "window/MainWindow.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

#include <cstdio>
#include <optional>

namespace kven {

namespace {

const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.kven");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// What a caller may read of the two interfaces before it calls them; the bus adds the
// standard interfaces (properties, introspection, peer).
const char kInterfacesXml[] = R"(  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
)";

void warn(const char* line)
{
    std::fprintf(stderr, "kven: %s; media keys and the desktop's player controls will not reach this window\n", line);
}

} // namespace

std::unique_ptr<MediaControls> MediaControls::onSessionBus(MainWindow& form)
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
    std::unique_ptr<MediaControls> controls(new MediaControls(form, bus));
    if (!bus.registerVirtualObject(kObjectPath, controls.get())) {
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

MediaControls::MediaControls(MainWindow& form, QDBusConnection bus)
    : form_(form), commands_(form.commands()), bus_(std::move(bus))
{
    reading_ = reading();
    listener_ = commands_.onReadingChanged([this](bool) { readingStateChanged(); });
    connect(&form_, &QWidget::windowTitleChanged, this, [this] { captionChanged(); });
}

MediaControls::~MediaControls()
{
    commands_.forget(listener_);
    bus_.unregisterObject(kObjectPath);
}

bool MediaControls::reading() const
{
    return commands_.reading();
}

QString MediaControls::playbackStatus() const
{
    return reading() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QString MediaControls::title() const
{
    const std::string name = documentNameForDisplay(form_.session().document());
    // A pasted text is no document: it goes by the caption it is read under.
    return QString::fromStdString(name.empty() ? form_.session().caption() : name);
}

QVariantMap MediaControls::metadata() const
{
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/kven/document/%1").arg(track_)))},
            {QStringLiteral("xesam:title"), title()}};
}

QVariantMap MediaControls::properties(const QString& interface) const
{
    if (interface == kRoot)
        return {{QStringLiteral("CanQuit"), true},
                {QStringLiteral("CanRaise"), true},
                {QStringLiteral("HasTrackList"), false},
                {QStringLiteral("Identity"), QStringLiteral("KVEN")},
                {QStringLiteral("DesktopEntry"), QStringLiteral("kven")},
                {QStringLiteral("SupportedUriSchemes"), QStringList()},
                {QStringLiteral("SupportedMimeTypes"), QStringList()}};
    if (interface == kPlayer)
        return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
                {QStringLiteral("Rate"), 1.0},
                {QStringLiteral("Metadata"), metadata()},
                {QStringLiteral("Volume"), 1.0},
                {QStringLiteral("Position"), QVariant::fromValue(qint64{0})},
                {QStringLiteral("MinimumRate"), 1.0},
                {QStringLiteral("MaximumRate"), 1.0},
                {QStringLiteral("CanGoNext"), true},
                {QStringLiteral("CanGoPrevious"), true},
                {QStringLiteral("CanPlay"), true},
                {QStringLiteral("CanPause"), true},
                {QStringLiteral("CanSeek"), false},
                {QStringLiteral("CanControl"), true}};
    return {};
}

QString MediaControls::introspect(const QString&) const
{
    return QString::fromLatin1(kInterfacesXml);
}

bool MediaControls::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString interface = message.interface();
    const QString member = message.member();
    const auto answer = [&](const QDBusMessage& reply) {
        if (message.isReplyRequired())
            connection.send(reply);
        return true;
    };

    if (interface == kProperties) {
        const QList<QVariant> args = message.arguments();
        const QString signature = message.signature();
        const QString of = args.value(0).toString();
        if (member == QLatin1String("GetAll") && signature == QLatin1String("s")) {
            if (of != kRoot && of != kPlayer)
                return answer(message.createErrorReply(QDBusError::UnknownInterface, of));
            return answer(message.createReply(properties(of)));
        }
        if ((member == QLatin1String("Get") && signature == QLatin1String("ss")) ||
            (member == QLatin1String("Set") && signature == QLatin1String("ssv"))) {
            const QString name = args.value(1).toString();
            // An empty interface name asks for the property wherever it is.
            const QString owner = !of.isEmpty() ? of : properties(kRoot).contains(name) ? kRoot : kPlayer;
            if (owner != kRoot && owner != kPlayer)
                return answer(message.createErrorReply(QDBusError::UnknownInterface, of));
            const QVariantMap values = properties(owner);
            if (!values.contains(name))
                return answer(message.createErrorReply(QDBusError::UnknownProperty, name));
            if (member == QLatin1String("Get"))
                return answer(message.createReply(QVariant::fromValue(QDBusVariant(values.value(name)))));
            // The rate and the volume may be set, to no effect: reading has one of each.
            if (owner == kPlayer && (name == QLatin1String("Rate") || name == QLatin1String("Volume")))
                return answer(message.createReply());
            return answer(message.createErrorReply(QDBusError::PropertyReadOnly, name));
        }
        return answer(message.createErrorReply(QDBusError::UnknownMethod, member));
    }

    const struct {
        const QString& interface;
        const char* member;
        std::function<void()> command;
        std::optional<Command> reading = std::nullopt;
    } methods[] = {
        {kRoot, "Raise",
         [this] {
             form_.setWindowState(form_.windowState() & ~Qt::WindowMinimized);
             form_.show();
             form_.raise();
             form_.activateWindow();
         }},
        {kRoot, "Quit", [this] { commands_.quit(); }},
        {kPlayer, "Play", {}, Command::reading},
        {kPlayer, "PlayPause", {}, Command::reading},
        {kPlayer, "Pause", {}, Command::stopped},
        {kPlayer, "Stop", {}, Command::stopped},
        {kPlayer, "Next", {}, Command::next},
        {kPlayer, "Previous", {}, Command::previous},
        // Nothing can be sought or opened.
        {kPlayer, "Seek", {}},
        {kPlayer, "SetPosition", {}},
        {kPlayer, "OpenUri", {}},
    };
    for (const auto& method : methods) {
        if (member != QLatin1String(method.member) || (!interface.isEmpty() && interface != method.interface))
            continue;
        answer(message.createReply());
        if (method.command)
            later(method.command);
        if (method.reading) {
            const bool toggles = member == QLatin1String("PlayPause");
            command(toggles && readingWanted() ? Command::stopped : *method.reading);
        }
        return true;
    }
    if (interface == kRoot || interface == kPlayer)
        return answer(message.createErrorReply(QDBusError::UnknownMethod, member));
    // Introspection and the rest of the standard interfaces are the bus library's.
    return false;
}

void MediaControls::later(std::function<void()> command)
{
    QMetaObject::invokeMethod(this, std::move(command), Qt::QueuedConnection);
}

void MediaControls::command(Command command)
{
    const bool state = command == Command::reading || command == Command::stopped;
    if (!waiting_.empty()) {
        Waiting& last = waiting_.back();
        const bool lastState = last.command == Command::reading || last.command == Command::stopped;
        if (state && lastState) {
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

bool MediaControls::readingWanted() const
{
    bool wanted = reading();
    // Next and Previous start reading when it is stopped.
    for (const Waiting& waiting : waiting_)
        wanted = waiting.command != Command::stopped;
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
            if (reading())
                commands_.stop();
            break;
        case Command::next: commands_.next(waiting.count); break;
        case Command::previous: commands_.previous(waiting.count); break;
        }
    }
}

void MediaControls::readingStateChanged()
{
    if (reading() == reading_)
        return;
    reading_ = reading();
    emitChanged(kPlayer, {{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

void MediaControls::captionChanged()
{
    ++track_;
    emitChanged(kPlayer, {{QStringLiteral("Metadata"), metadata()}});
}

void MediaControls::emitChanged(const QString& interface, const QVariantMap& changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kProperties, QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

} // namespace kven
