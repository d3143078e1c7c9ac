#include "common/platform/reload_channel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "common_platform_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

// Runs the event loop until the condition holds or two seconds passed.
bool ProcessEventsUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(2000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

// Every connection the receiver holds is read once the test's own sentinel request has
// arrived, so counting after it shows exactly what came before.
int RequestsBeforeSentinel(QSignalSpy& spy, const QString& channel) {
    const int before = static_cast<int>(spy.count());
    EXPECT_TRUE(SendReload(channel));
    ProcessEventsUntil([&] { return spy.count() > before; });
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return static_cast<int>(spy.count()) - 1;
}

class ReloadChannelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    QString Channel() const { return QString::fromStdString(dir_.File("reload.sock")); }
    TempDir dir_;
};

TEST_F(ReloadChannelTest, OneSendIsOneReload) {
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
    ASSERT_TRUE(SendReload(Channel()));
    EXPECT_EQ(RequestsBeforeSentinel(spy, Channel()), 1);
}

TEST_F(ReloadChannelTest, AShowRequestShowsAndIsNoReload) {
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy reloads(&receiver, &ReloadReceiver::reloadRequested);
    QSignalSpy shows(&receiver, &ReloadReceiver::showRequested);
    ASSERT_TRUE(SendShowWindow(Channel()));
    EXPECT_EQ(RequestsBeforeSentinel(reloads, Channel()), 0);
    EXPECT_EQ(shows.count(), 1);
    EXPECT_FALSE(SendShowWindow(QString::fromStdString(dir_.File("nobody.sock")), 200));
}

TEST_F(ReloadChannelTest, SendWithoutReceiverReportsNobodyListening) {
    EXPECT_FALSE(SendReload(Channel(), 200));
    dir_.Write("reload.sock", "not a socket");
    EXPECT_FALSE(SendReload(Channel(), 200));
}

TEST_F(ReloadChannelTest, SocketLeftByACrashIsReplaced) {
    const std::string path = dir_.File("reload.sock");
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);  // the file stays, nobody listens: what a killed recorder leaves
    ASSERT_TRUE(std::filesystem::is_socket(path));

    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
    ASSERT_TRUE(SendReload(Channel()));
    EXPECT_EQ(RequestsBeforeSentinel(spy, Channel()), 1);
}

TEST_F(ReloadChannelTest, SecondReceiverLeavesTheLiveOneAlone) {
    ReloadReceiver first(Channel());
    ASSERT_EQ(first.Listen(), ReloadReceiver::ListenResult::kListening);
    ReloadReceiver second(Channel());
    EXPECT_EQ(second.Listen(), ReloadReceiver::ListenResult::kAlreadyRunning);

    QSignalSpy spy(&first, &ReloadReceiver::reloadRequested);
    ASSERT_TRUE(SendReload(Channel()));
    EXPECT_EQ(RequestsBeforeSentinel(spy, Channel()), 1);
}

TEST_F(ReloadChannelTest, SocketIsReachableByItsOwnUserOnly) {
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    struct stat info {};
    ASSERT_EQ(::stat(receiver.socketPath().toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_EQ(info.st_uid, ::geteuid());
}

// Needs root to act as another user; CI runs as root.
TEST_F(ReloadChannelTest, AnotherUserCannotRequestAReload) {
    if (::geteuid() != 0) GTEST_SKIP() << "switching users needs root";
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_exec);
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);

    const std::string path = dir_.File("reload.sock");
    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls between fork and _exit.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        for (size_t i = 0; i < path.size() && i + 1 < sizeof address.sun_path; ++i) {
            address.sun_path[i] = path[i];
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ::_exit(1);
        const char request[] = "RECORDER_RESTART\n";
        ::_exit(::write(fd, request, sizeof request - 1) == sizeof request - 1 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the other user got through to the socket";
    EXPECT_EQ(RequestsBeforeSentinel(spy, Channel()), 0);
}

struct PayloadCase {
    const char* name;
    QByteArray bytes;
    int expectedReloads;
};

void PrintTo(const PayloadCase& c, std::ostream* os) { *os << c.name; }

class ReloadPayloadTest : public ReloadChannelTest, public ::testing::WithParamInterface<PayloadCase> {};

TEST_P(ReloadPayloadTest, EachRequestLineIsOneReload) {
    ReloadReceiver receiver(Channel());
    ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
    QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
    {
        QLocalSocket client;
        client.connectToServer(Channel());
        ASSERT_TRUE(client.waitForConnected(1000));
        client.write(GetParam().bytes);
        while (client.bytesToWrite() > 0) ASSERT_TRUE(client.waitForBytesWritten(1000));
        client.disconnectFromServer();
    }
    EXPECT_EQ(RequestsBeforeSentinel(spy, Channel()), GetParam().expectedReloads);
}

INSTANTIATE_TEST_SUITE_P(Payloads, ReloadPayloadTest,
                         ::testing::Values(PayloadCase{"one request", "RECORDER_RESTART\n", 1},
                                           PayloadCase{"CR LF line end", "RECORDER_RESTART\r\n", 1},
                                           PayloadCase{"two requests", "RECORDER_RESTART\nRECORDER_RESTART\n", 2},
                                           PayloadCase{"unknown line", "HELLO\n", 0},
                                           PayloadCase{"unfinished line", "RECORDER_RESTART", 0},
                                           PayloadCase{"lower case", "recorder_restart\n", 0},
                                           PayloadCase{"flood without line end", QByteArray(4096, 'R'), 0},
                                           PayloadCase{"nothing", "", 0}));

struct NameCase {
    const char* name;
    bool setRuntimeDir;
    bool runtimeDirExists;
    bool expectInsideRuntimeDir;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class ReloadChannelNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ReloadChannelNameTest, NameIsPerUserAndPrivateWherePossible) {
    TempDir dir;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(dir.path()));
    const std::string runtime = GetParam().runtimeDirExists ? dir.path() : dir.File("missing");
    if (GetParam().setRuntimeDir) {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    } else {
        qunsetenv("XDG_RUNTIME_DIR");
    }
    const QString name = ReloadChannelName();
    if (saved.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", saved);
    }
    if (savedCache.isNull()) {
        qunsetenv("XDG_CACHE_HOME");
    } else {
        qputenv("XDG_CACHE_HOME", savedCache);
    }

    const QString base = QString("RECORDER_RESTART-%1").arg(::geteuid());
    EXPECT_TRUE(name.endsWith(base)) << name.toStdString();
    EXPECT_EQ(name.startsWith(QString::fromStdString(runtime) + "/"), GetParam().expectInsideRuntimeDir)
        << name.toStdString();
    if (!GetParam().expectInsideRuntimeDir) {
        // Never the shared temporary folder: the user's own private cache folder.
        EXPECT_EQ(name.toStdString(), dir.File("pell-recorder/") + base.toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(Environments, ReloadChannelNameTest,
                         ::testing::Values(NameCase{"runtime folder", true, true, true},
                                           NameCase{"no runtime folder", false, false, false},
                                           NameCase{"runtime folder missing", true, false, false}));

// How the user's folders look before the socket folder is chosen.
struct FolderCase {
    const char* name;
    const char* runtime;  // "" unset; "rt" a folder made with runtimeMode
    unsigned runtimeMode;
    const char* cacheHome;  // "" unset; "cache" a folder made with cacheMode
    unsigned cacheMode;
    const char* home;      // "" unset; "home" an existing folder
    const char* before;    // what already stands at <cache>/pell-recorder
    const char* expected;  // "rt", "cache/pell-recorder", "home/.cache/pell-recorder" or "" (none)
};

TEST(ReloadSocketFolderTest, TheSocketFolderIsOneOnlyItsUserCanWriteIn) {
    const FolderCase cases[] = {
        {"private runtime folder", "rt", 0700, "cache", 0700, "", "", "rt"},
        {"runtime folder others may enter", "rt", 0755, "cache", 0700, "", "", "cache/pell-recorder"},
        {"runtime folder anyone may write", "rt", 01777, "cache", 0755, "", "", "cache/pell-recorder"},
        {"relative runtime path", "relative", 0, "cache", 0700, "", "", "cache/pell-recorder"},
        {"no runtime folder", "", 0, "cache", 0700, "", "", "cache/pell-recorder"},
        {"no cache setting: under home", "", 0, "", 0, "home", "", "home/.cache/pell-recorder"},
        {"our own folder with wide rights is narrowed", "", 0, "cache", 0700, "", "dir0777", "cache/pell-recorder"},
        {"a link where the folder should be", "", 0, "cache", 0700, "", "link", ""},
        {"a file where the folder should be", "", 0, "cache", 0700, "", "file", ""},
        {"cache folder others can write", "", 0, "cache", 0777, "", "", ""},
        {"nothing at all", "", 0, "", 0, "", "", ""},
    };
    namespace fs = std::filesystem;
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto at = [&](const std::string& name) { return dir.File(name); };
        QString runtime = c.runtime;
        if (std::string(c.runtime) == "rt") {
            fs::create_directory(at("rt"));
            ::chmod(at("rt").c_str(), c.runtimeMode);
            runtime = QString::fromStdString(at("rt"));
        }
        QString cache;
        if (std::string(c.cacheHome) == "cache") {
            fs::create_directory(at("cache"));
            ::chmod(at("cache").c_str(), c.cacheMode);
            cache = QString::fromStdString(at("cache"));
        }
        QString home;
        if (std::string(c.home) == "home") {
            fs::create_directory(at("home"));
            home = QString::fromStdString(at("home"));
        }
        const std::string before = c.before;
        const std::string target = at("cache/pell-recorder");
        if (before == "dir0777") {
            fs::create_directory(target);
            ::chmod(target.c_str(), 0777);
        } else if (before == "link") {
            fs::create_directory(at("elsewhere"));
            ::chmod(at("elsewhere").c_str(), 0700);
            fs::create_directory_symlink(at("elsewhere"), target);
        } else if (before == "file") {
            dir.Write("cache/pell-recorder", "x");
        }
        const QString folder = ReloadSocketFolder(runtime, cache, home);
        const std::string expected = *c.expected ? at(c.expected) : std::string();
        EXPECT_EQ(folder.toStdString(), expected);
        if (!expected.empty()) {
            struct stat st {};
            ASSERT_EQ(::lstat(expected.c_str(), &st), 0);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 077, 0u);
        }
    }
}

// Needs root to make a folder another user owns; CI runs as root.
TEST(ReloadSocketFolderTest, AFolderAnotherUserMadeFirstIsNeverUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "making another user's folder needs root";
    TempDir dir;
    std::filesystem::create_directory(dir.File("cache"));
    ::chmod(dir.File("cache").c_str(), 0700);
    std::filesystem::create_directory(dir.File("cache/pell-recorder"));
    ::chmod(dir.File("cache/pell-recorder").c_str(), 0700);
    ASSERT_EQ(::chown(dir.File("cache/pell-recorder").c_str(), 65534, 65534), 0);
    EXPECT_TRUE(ReloadSocketFolder("", QString::fromStdString(dir.File("cache")), "").isEmpty());
}

TEST_F(ReloadChannelTest, WithoutARuntimeFolderBothSidesMeetInThePrivateCacheFolder) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(dir_.path()));
    const QString name = ReloadChannelName();
    {
        ReloadReceiver receiver;
        ASSERT_EQ(receiver.Listen(), ReloadReceiver::ListenResult::kListening);
        QSignalSpy spy(&receiver, &ReloadReceiver::reloadRequested);
        ASSERT_TRUE(SendReload());
        EXPECT_EQ(RequestsBeforeSentinel(spy, name), 1);
    }
    EXPECT_TRUE(name.startsWith(QString::fromStdString(dir_.File("pell-recorder/RECORDER_RESTART-"))));
    qputenv("XDG_CACHE_HOME", "relative");
    qunsetenv("HOME");
    // No safe folder: nothing listens and nothing is sent, never the shared temporary folder.
    EXPECT_TRUE(ReloadChannelName().isEmpty());
    ReloadReceiver nowhere;
    EXPECT_EQ(nowhere.Listen(), ReloadReceiver::ListenResult::kFailed);
    EXPECT_FALSE(SendReload());
    EXPECT_FALSE(SendReload("RECORDER_RESTART-0", 200));
    for (const auto& [key, saved] : {std::pair{"XDG_RUNTIME_DIR", savedRuntime},
                                     std::pair{"XDG_CACHE_HOME", savedCache}, std::pair{"HOME", savedHome}}) {
        if (saved.isNull()) {
            qunsetenv(key);
        } else {
            qputenv(key, saved);
        }
    }
}

}  // namespace
}  // namespace pell
