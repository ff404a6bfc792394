// Linux cookie store: libcurl's cookie engine, in one share handle for the whole process.
#include "platform/cookie_jar.hpp"

#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/linux/curl_share.hpp"

namespace crawlerview::platform {
namespace {

std::array<std::mutex, CURL_LOCK_DATA_LAST>& shareLocks() {
    static auto* locks = new std::array<std::mutex, CURL_LOCK_DATA_LAST>;
    return *locks;
}

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
    shareLocks()[static_cast<std::size_t>(data)].lock();
}

void unlockShare(CURL*, curl_lock_data data, void*) {
    shareLocks()[static_cast<std::size_t>(data)].unlock();
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// One cookie in the jar's own line format (domain, subdomains, path, secure, expiry, name,
// value), taken for the host alone, as a browser keeps a cookie that names no domain.
// Empty when it cannot be written as such a line.
std::string jarLine(const std::string& host, const std::string& name, const std::string& data) {
    const std::string fields = host + name + data;
    if (host.empty() || name.empty() || fields.find_first_of("\t\r\n") != std::string::npos) {
        return {};
    }
    const std::size_t semicolon = data.find(';');
    const std::string value = data.substr(0, semicolon);
    std::string path = "/";
    bool secure = false;
    long long expires = 0;  // a session cookie
    std::size_t start = semicolon;
    while (start != std::string::npos) {
        const std::size_t end = data.find(';', start + 1);
        const std::string attribute =
            trimmed(data.substr(start + 1, end == std::string::npos ? end : end - start - 1));
        start = end;
        const std::size_t equals = attribute.find('=');
        const std::string key = lower(trimmed(attribute.substr(0, equals)));
        const std::string argument =
            equals == std::string::npos ? std::string() : trimmed(attribute.substr(equals + 1));
        if (key == "path" && !argument.empty() && argument.front() == '/') {
            path = argument;
        } else if (key == "secure") {
            secure = true;
        } else if (key == "expires" && expires == 0) {
            const time_t when = curl_getdate(argument.c_str(), nullptr);
            if (when > 0) {
                expires = when;
            }
        } else if (key == "max-age") {
            const long long seconds = std::atoll(argument.c_str());
            // Already expired: a time in the past makes the jar drop it.
            expires = seconds > 0 ? static_cast<long long>(std::time(nullptr)) + seconds : 1;
        }
    }
    return host + "\tFALSE\t" + path + "\t" + (secure ? "TRUE" : "FALSE") + "\t" +
           std::to_string(expires) + "\t" + name + "\t" + value;
}

class CurlCookieStore final : public CookieStore {
  public:
    void setCookie(const Text& url, const Text& name, const Text& data) override {
        static constexpr char kScheme[] = "http://";
        if (url.compare(0, sizeof kScheme - 1, kScheme) != 0) {
            return;
        }
        // A cookie without a name cannot be written in the jar's format; it is dropped.
        const std::string line = jarLine(url.substr(sizeof kScheme - 1), name, data);
        if (line.empty()) {
            return;
        }
        CURL* easy = curl_easy_init();
        if (easy == nullptr) {
            return;
        }
        curl_easy_setopt(easy, CURLOPT_SHARE, curlShare());
        curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
        curl_easy_cleanup(easy);
    }
};

}  // namespace

void ensureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURLSH* curlShare() {
    static CURLSH* share = [] {
        ensureCurlInitialised();
        CURLSH* created = curl_share_init();
        curl_share_setopt(created, CURLSHOPT_LOCKFUNC, lockShare);
        curl_share_setopt(created, CURLSHOPT_UNLOCKFUNC, unlockShare);
        curl_share_setopt(created, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        return created;
    }();
    return share;
}

CookieStore& systemCookieStore() {
    ensureCurlInitialised();
    static auto* store = new CurlCookieStore;  // never destroyed: see the header
    return *store;
}

}  // namespace crawlerview::platform
