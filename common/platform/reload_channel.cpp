#include "common/platform/reload_channel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/core/unique_fd.h"
#endif

namespace pell {
namespace {

constexpr int kProbeTimeoutMs = 500;
// A request is one short line; anything longer is not from the configurator.
constexpr qsizetype kMaxPendingBytes = 256;

QByteArray RequestLine(const char* name) { return QByteArray(name) + '\n'; }

// A bare name would put the socket in the shared temporary folder, where anyone can take it.
bool IsSafeChannelName(const QString& name) {
#ifdef Q_OS_UNIX
    return name.startsWith('/');
#else
    return !name.isEmpty();
#endif
}

// Only a process of the recorder's own user may make it reload.
bool PeerIsSameUser(QLocalSocket* socket) {
#if defined(Q_OS_LINUX)
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return false;
    }
    return credentials.uid == ::geteuid();
#else
    Q_UNUSED(socket);
    return true;  // the socket's access rights already keep other users out
#endif
}

}  // namespace

#ifdef Q_OS_UNIX
namespace {

// A real folder (not a link) owned by this user that nobody else may enter or write in.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// The folder a private one may be made in: ours, and not writable by others, so nobody can
// swap the private folder for one of theirs.
bool IsOwnFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 022) == 0;
}

// Creates the folder with mode 0700, or narrows one of ours that has wider rights.
bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    const UniqueFd folder = UniqueFd::Open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (!folder) return false;
    struct stat st {};
    const bool ours = ::fstat(folder.Get(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    const bool narrowed = ours && ((st.st_mode & 077) == 0 || ::fchmod(folder.Get(), 0700) == 0);
    return narrowed && IsPrivateFolder(path);
}

bool IsAbsolute(const QString& path) { return path.startsWith('/'); }

}  // namespace
#endif

QString ReloadSocketFolder(const QString& runtimeDir, const QString& cacheHome, const QString& home) {
#ifdef Q_OS_UNIX
    if (IsAbsolute(runtimeDir) && IsPrivateFolder(runtimeDir.toStdString())) return runtimeDir;
    QString cache = cacheHome;
    if (!IsAbsolute(cache)) {
        if (!IsAbsolute(home)) return {};
        cache = QDir(home).filePath(".cache");
        ::mkdir(cache.toLocal8Bit().constData(), 0700);
    }
    if (!IsOwnFolder(cache.toStdString())) return {};
    const QString folder = QDir(cache).filePath("pell-recorder");
    return MakePrivateFolder(folder.toStdString()) ? folder : QString();
#else
    Q_UNUSED(runtimeDir);
    Q_UNUSED(cacheHome);
    Q_UNUSED(home);
    return {};
#endif
}

QString ReloadChannelName() {
#ifdef Q_OS_UNIX
    const QString folder = ReloadSocketFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                                              qEnvironmentVariable("XDG_CACHE_HOME"), qEnvironmentVariable("HOME"));
    if (folder.isEmpty()) return {};
    return QDir(folder).filePath(QString("%1-%2").arg(kReloadMessageName).arg(::geteuid()));
#else
    return QString("%1-%2").arg(kReloadMessageName, qEnvironmentVariable("USERNAME"));
#endif
}

namespace {

// One request line, handed to the recorder's socket before it returns.
bool SendRequest(const QString& channelName, const char* name, int timeoutMs) {
    if (!IsSafeChannelName(channelName)) return false;
    QLocalSocket socket;
    socket.connectToServer(channelName, QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs)) return false;
    const QByteArray line = RequestLine(name);
    if (socket.write(line) != line.size()) return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) return false;
    }
    socket.disconnectFromServer();
    return true;
}

}  // namespace

bool SendReload(const QString& channelName, int timeoutMs) {
    return SendRequest(channelName, kReloadMessageName, timeoutMs);
}

bool SendShowWindow(const QString& channelName, int timeoutMs) {
    return SendRequest(channelName, kShowMessageName, timeoutMs);
}

ReloadReceiver::ReloadReceiver(QString channelName, QObject* parent)
    : QObject(parent), channelName_(std::move(channelName)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &ReloadReceiver::Accept);
}

ReloadReceiver::~ReloadReceiver() { server_.close(); }

ReloadReceiver::ListenResult ReloadReceiver::Listen() {
    if (server_.isListening()) return ListenResult::kListening;
    if (!IsSafeChannelName(channelName_)) return ListenResult::kFailed;
    // Listening replaces whatever socket file has the name, so ask first whether someone
    // answers there.
    QLocalSocket probe;
    probe.connectToServer(channelName_);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.abort();
        return ListenResult::kAlreadyRunning;
    }
    QLocalServer::removeServer(channelName_);
    return server_.listen(channelName_) ? ListenResult::kListening : ListenResult::kFailed;
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
        if (line == kShowMessageName) emit showRequested();
    }
    if (socket->bytesAvailable() > kMaxPendingBytes) socket->abort();
}

}  // namespace pell
