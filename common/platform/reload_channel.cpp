#include "common/platform/reload_channel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace pell {
namespace {

constexpr int kProbeTimeoutMs = 500;
// A request is one short line; anything longer is not from the configurator.
constexpr qsizetype kMaxPendingBytes = 256;

QByteArray RequestLine() { return QByteArray(kReloadMessageName) + '\n'; }

// Only a process of the recorder's own user may make it reload.
bool PeerIsSameUser(QLocalSocket* socket) {
#if defined(Q_OS_LINUX)
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                     &credentials, &size) != 0) {
        return false;
    }
    return credentials.uid == ::geteuid();
#else
    Q_UNUSED(socket);
    return true;  // the socket's access rights already keep other users out
#endif
}

}  // namespace

QString ReloadChannelName() {
#ifdef Q_OS_UNIX
    const QString name = QString("%1-%2").arg(kReloadMessageName).arg(::geteuid());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return QDir(runtime).filePath(name);
    return name;
#else
    return QString("%1-%2").arg(kReloadMessageName, qEnvironmentVariable("USERNAME"));
#endif
}

bool SendReload(const QString& channelName, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(channelName, QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs)) return false;
    const QByteArray line = RequestLine();
    if (socket.write(line) != line.size()) return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) return false;
    }
    socket.disconnectFromServer();
    return true;
}

ReloadReceiver::ReloadReceiver(QString channelName, QObject* parent)
    : QObject(parent), channelName_(std::move(channelName)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &ReloadReceiver::Accept);
}

ReloadReceiver::~ReloadReceiver() { server_.close(); }

ReloadReceiver::ListenResult ReloadReceiver::Listen() {
    if (server_.isListening()) return ListenResult::Listening;
    // Listening replaces whatever socket file has the name, so ask first whether someone
    // answers there.
    QLocalSocket probe;
    probe.connectToServer(channelName_);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.abort();
        return ListenResult::AlreadyRunning;
    }
    QLocalServer::removeServer(channelName_);
    return server_.listen(channelName_) ? ListenResult::Listening : ListenResult::Failed;
}

void ReloadReceiver::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsSameUser(socket)) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
        ReadRequests(socket);
    }
}

void ReloadReceiver::ReadRequests(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxPendingBytes).trimmed();
        if (line == kReloadMessageName) emit reloadRequested();
    }
    if (socket->bytesAvailable() > kMaxPendingBytes) socket->abort();
}

}  // namespace pell
