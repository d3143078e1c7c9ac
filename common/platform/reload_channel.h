// The recorder's reload request: the configurator, after a save, asks the running recorder to
// read "settings.ini" again. The recorder listens on a local socket named per user from
// "RECORDER_RESTART"; the socket is reachable by its own user only, and each line
// "RECORDER_RESTART" written to it is one request. A line "RECORDER_SHOW" (a second start of
// the recorder) asks it to show its window.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

namespace pell {

inline constexpr const char* kReloadMessageName = "RECORDER_RESTART";
inline constexpr const char* kShowMessageName = "RECORDER_SHOW";

// "RECORDER_RESTART-<user id>" inside ReloadSocketFolder(); empty when there is no safe folder,
// so that neither side ever uses a folder other users can write in.
QString ReloadChannelName();

// A folder only this user can write in: XDG_RUNTIME_DIR when it is one, else "pell-recorder"
// under the user's cache folder (XDG_CACHE_HOME, else HOME/.cache), created with mode 0700 and
// checked (a real folder, owned by the user, no rights for others) every time it is looked up.
// Empty when neither is safe. The environment is passed in so tests can point it elsewhere.
QString ReloadSocketFolder(const QString& runtimeDir, const QString& cacheHome, const QString& home);

// Writes one request and returns once it has been handed to the recorder's socket (or the
// time limit passed); false when no recorder listens or the write did not complete.
bool SendReload(const QString& channelName = ReloadChannelName(), int timeoutMs = 2000);
// As SendReload, asking the running recorder to show its window.
bool SendShowWindow(const QString& channelName = ReloadChannelName(), int timeoutMs = 2000);

class ReloadReceiver : public QObject {
    Q_OBJECT
public:
    enum class ListenResult { kListening, kAlreadyRunning, kFailed };

    explicit ReloadReceiver(QString channelName = ReloadChannelName(), QObject* parent = nullptr);
    ~ReloadReceiver() override;

    // Starts listening. A socket left behind by a crashed recorder is removed first; a live
    // one (another recorder of this user) is left alone and reported.
    ListenResult Listen();
    QString socketPath() const { return server_.fullServerName(); }

signals:
    void reloadRequested();
    void showRequested();

private:
    void Accept();
    void ReadRequests(QLocalSocket* socket);

    QString channelName_;
    QLocalServer server_;
};

}  // namespace pell
