// Alarm e-mail through the SMTP server recorder.ini names, by libcurl: STARTTLS where the
// server offers it on smtp://, TLS from the start on smtps://, a log-in when a user is set.
// Sending waits on the network, so AlarmMailer sends on a thread of its own, one mail after
// another; the window only hands mails over.
#pragma once

#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/core/recorder_options.h"

namespace pell::recorder {

struct AlarmMail {
    std::string subject;  // one line
    std::string body;
};

// The message as it goes over the wire: headers (Date at `when`, From, To, Subject, a plain
// UTF-8 text body), CR LF line ends.
std::string FormatAlarmMail(const MailOptions& options, const AlarmMail& mail, std::time_t when);

// Sends one mail and waits for the server's answer (at most about 30 s); false with the reason
// in *error.
bool SendAlarmMail(const MailOptions& options, const AlarmMail& mail, std::string* error);

class AlarmMailer {
public:
    // Told on the mailer's thread after each mail: sent, or not and why.
    using DoneFn = std::function<void(const AlarmMail& mail, bool sent, const std::string& error)>;
    explicit AlarmMailer(DoneFn done);
    // Finishes the mail being sent; mails still waiting are dropped (the log holds them).
    ~AlarmMailer();
    AlarmMailer(const AlarmMailer&) = delete;
    AlarmMailer& operator=(const AlarmMailer&) = delete;

    void Send(MailOptions options, AlarmMail mail);

private:
    void Run();

    DoneFn done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<MailOptions, AlarmMail>> waiting_;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace pell::recorder
