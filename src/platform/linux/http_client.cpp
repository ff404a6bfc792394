// Linux HTTP client on libcurl, behaving like WinINet with its defaults: handles that hold
// settings until the request is sent, redirects followed, the body handed out as it arrives.
// Needs: libcurl (multi interface, 7.68 or later for curl_multi_poll/curl_multi_wakeup).
#include "platform/http_client.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

#include "platform/linux/curl_share.hpp"
#include "platform/worker_thread.hpp"

namespace crawlerview::platform {
namespace {

// Long enough never to matter; curl_multi_wakeup ends the poll early when the fetch is abandoned.
constexpr int kPollMs = 60 * 1000;
constexpr long kMaxRedirects = 30;
constexpr long kReceiveBufferBytes = 128 * 1024;

enum class Kind { Internet, Connection, Request };

struct Handle {
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
    const Kind kind;
};

struct InternetHandle final : Handle {
    InternetHandle() : Handle(Kind::Internet) {}
    std::string agent;
    std::optional<std::string> proxy;  // "http://host:port"; none: a direct connection
};

// Each handle copies what it needs from its parent, so that closing in any order is safe.
struct ConnectionSettings {
    std::string agent;
    std::optional<std::string> proxy;
    std::string host;
    std::int32_t port = 0;
    std::optional<std::string> userName, password;
};

struct ConnectionHandle final : Handle {
    ConnectionHandle() : Handle(Kind::Connection) {}
    ConnectionSettings settings;
};

struct RequestHandle final : Handle {
    RequestHandle() : Handle(Kind::Request) {}
    ~RequestHandle() override;

    ConnectionSettings settings;
    std::optional<std::string> verb;
    std::string path;

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headerList = nullptr;
    std::string postBody;
    std::optional<StopNotification> stopNotification;
    bool sent = false;
    bool added = false;

    // Filled by curl's callbacks while curl_multi_perform runs.
    std::string block;           // the header block being received
    bool blockComplete = false;  // its empty line has arrived
    bool sawLocation = false;
    std::string finalBlock;     // the last complete block: the one queryInfo reports
    bool headersFinal = false;  // the final response's block is in finalBlock
    std::string pending;        // body bytes not yet handed out
    std::size_t pendingOffset = 0;
    bool done = false;
    CURLcode result = CURLE_OK;
};

RequestHandle::~RequestHandle() {
    stopNotification.reset();  // before the multi handle that its callback wakes goes away
    if (multi != nullptr && easy != nullptr && added) {
        curl_multi_remove_handle(multi, easy);
    }
    if (easy != nullptr) {
        curl_easy_cleanup(easy);
    }
    if (multi != nullptr) {
        curl_multi_cleanup(multi);
    }
    curl_slist_free_all(headerList);
}

// Every live handle, so that a stale or foreign pointer is refused instead of followed.
std::mutex liveMutex;
std::unordered_set<Handle*>& liveHandles() {
    static auto* handles = new std::unordered_set<Handle*>;
    return *handles;
}

HttpHandle track(Handle* handle) {
    std::lock_guard lock(liveMutex);
    liveHandles().insert(handle);
    return handle;
}

template <typename T>
T* lookUp(HttpHandle handle, Kind kind) {
    std::lock_guard lock(liveMutex);
    auto* h = static_cast<Handle*>(handle);
    if (handle == nullptr || liveHandles().count(h) == 0 || h->kind != kind) {
        return nullptr;
    }
    return static_cast<T*>(h);
}

bool iequalsPrefix(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// WinINet's proxy list: "http=host:port" entries, or a bare "host:port" for every scheme.
std::optional<std::string> httpProxyOf(const char* proxyList) {
    if (proxyList == nullptr) {
        return std::nullopt;
    }
    const std::string list(proxyList);
    std::optional<std::string> bare;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find_first_of(" ;", start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string entry = list.substr(start, end - start);
        start = end + 1;
        if (entry.empty()) {
            continue;
        }
        if (iequalsPrefix(entry, "http=")) {
            return "http://" + entry.substr(5);
        }
        if (entry.find('=') == std::string::npos && !bare) {
            bare = "http://" + entry;
        }
    }
    return bare;
}

// A host that curl would read as more than a host ("example.com?x=1", "a@b", "a#b") must not
// reach a different server than the one named: only the bytes of a host name are let through.
bool isHostName(const char* host) {
    if (host == nullptr || *host == '\0') {
        return false;
    }
    for (const char* p = host; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!(std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_')) {
            return false;
        }
    }
    return true;
}

// What a browser does with a typed path: bytes that cannot stand in a request line become %XX;
// an existing %XX (and any other "%") is left as it is.
std::string escapePath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>`{}|\\^", ch) != nullptr) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    if (out.empty() || out.front() != '/') {
        out.insert(out.begin(), '/');
    }
    return out;
}

bool isRedirectStatus(int status) {
    return status >= 300 && status < 400 && status != 304;
}

int statusOf(const std::string& statusLine) {
    const std::size_t space = statusLine.find(' ');
    if (space == std::string::npos) {
        return 0;
    }
    return std::atoi(statusLine.c_str() + space + 1);
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& r = *static_cast<RequestHandle*>(user);
    const size_t length = size * count;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    if (line.compare(0, 5, "HTTP/") == 0) {
        r.block.clear();
        r.blockComplete = false;
        r.sawLocation = false;
    } else if (r.block.empty() || r.blockComplete) {
        return length;  // trailers after a chunked body, or proxy chatter: not part of a block
    }
    r.block += line;
    r.block += "\r\n";
    if (iequalsPrefix(line, "Location:")) {
        r.sawLocation = true;
    }
    if (line.empty()) {
        r.blockComplete = true;
        r.finalBlock = r.block;
        const int status = statusOf(r.block);
        // A 1xx, a redirect that is followed or a request for credentials that are at hand is
        // followed by another response; anything else is the final one. A wrong guess only
        // delays: the first body byte or the end of the transfer settles it.
        const bool another =
            (status >= 100 && status < 200) || (isRedirectStatus(status) && r.sawLocation) ||
            (status == 401 && r.settings.userName) || (status == 407 && r.settings.proxy);
        r.headersFinal = !another;
    }
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& r = *static_cast<RequestHandle*>(user);
    r.headersFinal = true;
    r.pending.append(data, size * count);
    return size * count;
}

int onProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return stopRequested() ? 1 : 0;
}

// Runs curl until `ready` holds, the transfer is over, or the fetch is abandoned. Blocks in
// curl_multi_poll between rounds, so a silent server costs no CPU.
template <typename Ready>
void pump(RequestHandle& r, Ready ready) {
    while (!r.done && !ready()) {
        if (stopRequested()) {
            r.done = true;
            r.result = CURLE_ABORTED_BY_CALLBACK;
            return;
        }
        int running = 0;
        if (curl_multi_perform(r.multi, &running) != CURLM_OK) {
            r.done = true;
            r.result = CURLE_FAILED_INIT;
            return;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(r.multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                r.done = true;
                r.result = message->data.result;
            }
        }
        if (r.done || ready()) {
            return;
        }
        curl_multi_poll(r.multi, nullptr, 0, kPollMs, nullptr);
    }
}

bool configure(RequestHandle& r, const char* headers, std::uint32_t headersLength, const void* body,
               std::uint32_t bodyLength) {
    CURL* easy = r.easy;
    const ConnectionSettings& c = r.settings;
    const std::string url = "http://" + c.host + ":" + std::to_string(c.port) + escapePath(r.path);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, c.agent.c_str());
    // A direct connection stays direct whatever http_proxy says; a given proxy is used for
    // every host, whatever no_proxy says.
    curl_easy_setopt(easy, CURLOPT_PROXY, c.proxy ? c.proxy->c_str() : "");
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (c.userName || c.password) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, c.userName ? c.userName->c_str() : "");
        curl_easy_setopt(easy, CURLOPT_PASSWORD, c.password ? c.password->c_str() : "");
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    curl_easy_setopt(easy, CURLOPT_SHARE, curlShare());
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");

    const std::string verb = r.verb.value_or("GET");
    std::string upper = verb;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    if (body != nullptr || upper == "POST") {
        r.postBody.assign(static_cast<const char*>(body != nullptr ? body : ""), bodyLength);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(r.postBody.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.postBody.c_str());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    // Only an exact "GET" or "POST" lets curl choose the verb (and turn a POST into a GET on a
    // 303, as a browser does); any other spelling goes out exactly as given.
    if (verb != "GET" && verb != "POST") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }

    if (headers != nullptr) {
        const std::string text(headers, headersLength);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty()) {
                continue;
            }
            curl_slist* grown = curl_slist_append(r.headerList, line.c_str());
            if (grown == nullptr) {
                return false;
            }
            r.headerList = grown;
        }
    }
    // WinINet sends the body straight away (curl would wait for a "100 Continue") and labels a
    // body only with what the caller's lines say.
    std::string lowerHeaders = headers != nullptr ? std::string(headers, headersLength) : "";
    std::transform(lowerHeaders.begin(), lowerHeaders.end(), lowerHeaders.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    for (const char* suppressed : {"Expect:", "Content-Type:"}) {
        std::string name = suppressed;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (lowerHeaders.find(name) != std::string::npos) {
            continue;
        }
        curl_slist* grown = curl_slist_append(r.headerList, suppressed);
        if (grown == nullptr) {
            return false;
        }
        r.headerList = grown;
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r.headerList);

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    return true;
}

class CurlHttpClient final : public HttpClient {
  public:
    HttpHandle openInternet(const char* agent, std::uint32_t accessType, const char* proxy,
                            const char*, std::uint32_t) override {
        auto handle = std::make_unique<InternetHandle>();
        handle->agent = agent != nullptr ? agent : "";
        if (accessType == kOpenTypeProxy) {
            handle->proxy = httpProxyOf(proxy);
            if (!handle->proxy) {
                return nullptr;
            }
        } else if (accessType != kOpenTypeDirect && accessType != 0) {
            return nullptr;
        }
        return track(handle.release());
    }

    HttpHandle connect(HttpHandle internet, const char* host, std::int32_t port,
                       const char* userName, const char* password, std::uint32_t service,
                       std::uint32_t, std::uintptr_t) override {
        auto* parent = lookUp<InternetHandle>(internet, Kind::Internet);
        if (parent == nullptr || service != kServiceHttp || port < 1 || port > 65535 ||
            !isHostName(host)) {
            return nullptr;
        }
        auto handle = std::make_unique<ConnectionHandle>();
        ConnectionSettings& settings = handle->settings;
        settings.agent = parent->agent;
        settings.proxy = parent->proxy;
        settings.host = host;
        settings.port = port;
        if (userName != nullptr) {
            settings.userName = userName;
        }
        if (password != nullptr) {
            settings.password = password;
        }
        return track(handle.release());
    }

    HttpHandle openRequest(HttpHandle connection, const char* verb, const char* path, const char*,
                           const char*, const char* const*, std::uint32_t,
                           std::uintptr_t) override {
        auto* parent = lookUp<ConnectionHandle>(connection, Kind::Connection);
        if (parent == nullptr) {
            return nullptr;
        }
        auto handle = std::make_unique<RequestHandle>();
        handle->settings = parent->settings;
        if (verb != nullptr) {
            handle->verb = verb;
        }
        handle->path = path != nullptr ? path : "/";
        handle->easy = curl_easy_init();
        handle->multi = curl_multi_init();
        if (handle->easy == nullptr || handle->multi == nullptr) {
            return nullptr;
        }
        CURLM* multi = handle->multi;
        handle->stopNotification.emplace([multi] { curl_multi_wakeup(multi); });
        return track(handle.release());
    }

    bool sendRequest(HttpHandle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) override {
        auto* r = lookUp<RequestHandle>(request, Kind::Request);
        if (r == nullptr || r->sent) {
            return false;
        }
        r->sent = true;
        if (!configure(*r, headers, headersLength, body, bodyLength) ||
            curl_multi_add_handle(r->multi, r->easy) != CURLM_OK) {
            r->done = true;
            r->result = CURLE_FAILED_INIT;
            return false;
        }
        r->added = true;
        pump(*r, [r] { return r->headersFinal; });
        if (r->done && r->finalBlock.empty()) {
            return false;
        }
        r->headersFinal = true;
        return true;
    }

    bool readFile(HttpHandle request, void* buffer, std::uint32_t bytesToRead,
                  std::uint32_t* bytesRead) override {
        if (bytesRead == nullptr) {
            return false;
        }
        *bytesRead = 0;
        auto* r = lookUp<RequestHandle>(request, Kind::Request);
        if (r == nullptr || buffer == nullptr || !r->sent) {
            return false;
        }
        pump(*r, [r] { return r->pendingOffset < r->pending.size(); });
        const std::size_t available = r->pending.size() - r->pendingOffset;
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(available, bytesToRead));
        std::memcpy(buffer, r->pending.data() + r->pendingOffset, count);
        r->pendingOffset += count;
        if (r->pendingOffset == r->pending.size()) {
            r->pending.clear();
            r->pendingOffset = 0;
        }
        *bytesRead = count;
        return count > 0 || r->result == CURLE_OK;
    }

    bool queryInfo(HttpHandle request, std::uint32_t infoLevel, void* buffer,
                   std::uint32_t* bufferLength, std::uint32_t*) override {
        auto* r = lookUp<RequestHandle>(request, Kind::Request);
        if (r == nullptr || bufferLength == nullptr || infoLevel != kQueryRawHeadersCrlf ||
            r->finalBlock.empty()) {
            return false;
        }
        const std::size_t needed = r->finalBlock.size() + 1;
        if (buffer == nullptr || needed > *bufferLength) {
            *bufferLength = static_cast<std::uint32_t>(needed);
            return false;
        }
        std::memcpy(buffer, r->finalBlock.c_str(), needed);
        *bufferLength = static_cast<std::uint32_t>(r->finalBlock.size());
        return true;
    }

    bool closeHandle(HttpHandle handle) override {
        Handle* h = nullptr;
        {
            std::lock_guard lock(liveMutex);
            auto it = liveHandles().find(static_cast<Handle*>(handle));
            if (it == liveHandles().end()) {
                return false;
            }
            h = *it;
            liveHandles().erase(it);
        }
        delete h;
        return true;
    }
};

}  // namespace

HttpClient& systemHttpClient() {
    ensureCurlInitialised();
    static auto* client = new CurlHttpClient;  // never destroyed: see the header
    return *client;
}

}  // namespace crawlerview::platform
