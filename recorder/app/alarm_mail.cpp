#include "recorder/app/alarm_mail.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace pell::recorder {
namespace {

std::string Rfc5322Date(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday], utc.tm_mday,
                  kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

// A header value from the settings: a line break there would start a header of its own.
std::string HeaderValue(const std::string& value) {
    std::string out;
    for (const char c : value) out += (c == '\r' || c == '\n') ? ' ' : c;
    return out;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

struct Payload {
    std::string text;
    size_t sent = 0;
};

size_t ReadPayload(char* buffer, size_t size, size_t count, void* user) {
    auto* payload = static_cast<Payload*>(user);
    const size_t n = std::min(size * count, payload->text.size() - payload->sent);
    std::memcpy(buffer, payload->text.data() + payload->sent, n);
    payload->sent += n;
    return n;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

std::string FormatAlarmMail(const MailOptions& options, const AlarmMail& mail, std::time_t when) {
    std::string to;
    for (const std::string& address : options.to) to += (to.empty() ? "" : ", ") + HeaderValue(address);
    return "Date: " + Rfc5322Date(when) + "\r\nFrom: " + HeaderValue(options.from) + "\r\nTo: " + to +
           "\r\nSubject: " + HeaderValue(mail.subject) +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: "
           "8bit\r\n\r\n" +
           WithCrLf(mail.body) + (mail.body.empty() || mail.body.back() != '\n' ? "\r\n" : "");
}

bool SendAlarmMail(const MailOptions& options, const AlarmMail& mail, std::string* error) {
    static const bool kCurlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!kCurlReady) {
        if (error) *error = "libcurl could not start";
        return false;
    }
    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        if (error) *error = "libcurl could not start";
        return false;
    }
    curl_slist* addresses = nullptr;
    for (const std::string& address : options.to) {
        curl_slist* longer = curl_slist_append(addresses, ("<" + address + ">").c_str());
        if (longer == nullptr) {
            curl_slist_free_all(addresses);
            if (error) *error = "out of memory";
            return false;
        }
        addresses = longer;
    }
    const std::unique_ptr<curl_slist, ListDeleter> recipients(addresses);
    Payload payload{FormatAlarmMail(options, mail, std::time(nullptr))};
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, options.server.c_str());
    const std::string from = "<" + options.from + ">";
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &ReadPayload);
    curl_easy_setopt(c, CURLOPT_READDATA, &payload);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    // STARTTLS whenever the server offers it; a server that offers none still gets the alarm.
    curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!options.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, options.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, options.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = curl_easy_perform(c);
    if (result == CURLE_OK) return true;
    if (error) *error = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
    return false;
}

AlarmMailer::AlarmMailer(DoneFn done) : done_(std::move(done)), thread_([this] { Run(); }) {}

AlarmMailer::~AlarmMailer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void AlarmMailer::Send(MailOptions options, AlarmMail mail) {
    {
        std::lock_guard lock(mutex_);
        waiting_.emplace_back(std::move(options), std::move(mail));
    }
    wake_.notify_all();
}

void AlarmMailer::Run() {
    for (;;) {
        std::pair<MailOptions, AlarmMail> next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
            if (quit_) return;
            next = std::move(waiting_.front());
            waiting_.pop_front();
        }
        std::string error;
        const bool sent = SendAlarmMail(next.first, next.second, &error);
        if (done_) done_(next.second, sent, error);
    }
}

}  // namespace pell::recorder
