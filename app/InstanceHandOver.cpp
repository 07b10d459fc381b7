#include "app/InstanceHandOver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace kven {

namespace {

constexpr char kCloseRequest[] = "close\n";
constexpr char kClosedAnswer[] = "closed\n";
constexpr char kStillOpenAnswer[] = "open\n";

} // namespace

QString InstanceHandOver::socketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/TForm1");
}

bool InstanceHandOver::closeRunningCopy(std::chrono::milliseconds timeout)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(kCloseRequest);
    socket.flush();
    const QDeadlineTimer deadline(timeout);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || socket.state() != QLocalSocket::ConnectedState)
            return false;
        socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return socket.readLine() == kClosedAnswer;
}

bool InstanceHandOver::listen(std::function<bool()> closeWindow)
{
    closeWindow_ = std::move(closeWindow);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath();
    if (!server_.listen(path)) {
        // Nobody answered on it (closeRunningCopy ran first), so it is a leftover.
        QLocalServer::removeServer(path);
        if (!server_.listen(path))
            return false;
    }
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() != kCloseRequest)
                    return;
                const bool closed = closeWindow_();
                // The socket's name is given up before the answer, which lets the new copy
                // listen under it: closing later would remove the new copy's socket file.
                if (closed)
                    server_.close();
                socket->write(closed ? kClosedAnswer : kStillOpenAnswer);
                socket->flush();
                socket->waitForBytesWritten(1000);
            });
        }
    });
    return true;
}

} // namespace kven
