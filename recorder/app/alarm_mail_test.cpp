// Alarm mail to a real SMTP server (Debian's aiosmtpd) that the test starts on localhost.
#include "recorder/app/alarm_mail.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>

#include "testsupport/temp_dir.h"

namespace pell::recorder {
namespace {

constexpr char kPython[] = "/usr/bin/python3";

int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(s);
    return port;
}

bool Accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return connected;
}

// aiosmtpd on a free port of 127.0.0.1, storing what it receives in a maildir; stopped by the destructor.
class LocalSmtpServer {
public:
    explicit LocalSmtpServer(const std::string& maildir) : maildir_(maildir), port_(FreePort()) {
        const std::string listen = "127.0.0.1:" + std::to_string(port_);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(kPython, kPython, "-m", "aiosmtpd", "-n", "-l", listen.c_str(), "-c", "aiosmtpd.handlers.Mailbox",
                    maildir.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!Accepts(port_) && std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            ::usleep(50000);
        }
        ready_ = Accepts(port_);
    }
    ~LocalSmtpServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    LocalSmtpServer(const LocalSmtpServer&) = delete;
    LocalSmtpServer& operator=(const LocalSmtpServer&) = delete;

    bool Ready() const { return ready_; }
    std::string Url() const { return "smtp://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> Received() const {
        std::vector<std::string> mails;
        const std::filesystem::path folder = std::filesystem::path(maildir_) / "new";
        if (!std::filesystem::exists(folder)) return mails;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            mails.push_back(text.str());
        }
        return mails;
    }

private:
    std::string maildir_;
    int port_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

bool AiosmtpdInstalled() {
    const std::string command = std::string(kPython) + " -c 'import aiosmtpd' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

MailOptions Options(const std::string& server) {
    MailOptions options;
    options.server = server;
    options.from = "recorder@example.com";
    options.to = {"office@example.com", "it@example.com"};
    return options;
}

TEST(AlarmMailTest, TheLocalServerReceivesTheAlarmForEveryRecipient) {
    if (!AiosmtpdInstalled()) GTEST_SKIP() << "python3-aiosmtpd is not installed";
    TempDir dir;
    LocalSmtpServer server(dir.File("maildir"));
    ASSERT_TRUE(server.Ready()) << "aiosmtpd did not start";
    std::promise<std::pair<bool, std::string>> result;
    {
        AlarmMailer mailer([&](const AlarmMail&, bool sent, const std::string& error) {
            result.set_value({sent, error});
        });
        mailer.Send(Options(server.Url()),
                    {"PellRecorder Alarm: the line box is missing", "Line 1\n.\nA dot line and a second line.\n"});
        auto future = result.get_future();
        ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        const auto [sent, error] = future.get();
        EXPECT_TRUE(sent) << error;
    }
    const std::vector<std::string> mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    const std::string& mail = mails[0];
    EXPECT_NE(mail.find("Subject: PellRecorder Alarm: the line box is missing"), std::string::npos) << mail;
    EXPECT_NE(mail.find("To: office@example.com, it@example.com"), std::string::npos) << mail;
    EXPECT_NE(mail.find("X-RcptTo: office@example.com, it@example.com"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Line 1\n.\nA dot line and a second line."), std::string::npos) << mail;
}

TEST(AlarmMailTest, AServerThatIsNotThereIsAFailureWithItsReason) {
    MailOptions options = Options("smtp://127.0.0.1:" + std::to_string(FreePort()));
    std::string error;
    EXPECT_FALSE(SendAlarmMail(options, {"s", "b"}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(AlarmMailTest, SettingsCannotAddHeaders) {
    MailOptions options = Options("smtp://x");
    options.from = "a@example.com\r\nBcc: evil@example.com";
    const std::string text = FormatAlarmMail(options, {"subject\nBcc: evil@example.com", "body"}, 0);
    EXPECT_EQ(text.find("\r\nBcc:"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nBcc:"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("Date: Thu, 01 Jan 1970 00:00:00 +0000\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n\r\nbody\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pell::recorder
