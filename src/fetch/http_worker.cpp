#include "fetch/http_worker.hpp"

#include <array>
#include <utility>

#include "fetch/request_headers.hpp"
#include "fetch/url_parts.hpp"
#include "platform/cookie_jar.hpp"
#include "platform/worker_thread.hpp"

namespace crawlerview {
namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kProxyPrefix[] = "http=";
constexpr char kHttpVersion[] = "HTTP/1.1";
constexpr std::uint32_t kReadChunk = 512;
constexpr std::uint32_t kHeaderBufferSize = 1024;

const char* textOrNull(const Text& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Owns one handle of the platform client; closing is explicit where the order matters to the
// reader and automatic on every early return. Declared in opening order, so the destructors close
// in reverse.
class ScopedHandle {
  public:
    ScopedHandle(platform::HttpClient& client, platform::HttpHandle handle)
        : client_(client), handle_(handle) {}
    ~ScopedHandle() { close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    platform::HttpHandle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void close() {
        if (handle_ != nullptr) {
            client_.closeHandle(std::exchange(handle_, nullptr));
        }
    }

  private:
    platform::HttpClient& client_;
    platform::HttpHandle handle_;
};

enum class Method { Get, Post, Unsupported };

Method classify(const Text& method) {
    if (method.empty()) {
        return Method::Get;
    }
    const Text upper = upperAscii(method);
    if (upper == "GET") {
        return Method::Get;
    }
    if (upper == "POST") {
        return Method::Post;
    }
    return Method::Unsupported;
}

// A CR or LF in the URL would end the Referer line early and let the rest of the URL stand as
// header lines of its own.
bool canBeSent(const Text& url) {
    return url.find_first_of("\r\n") == Text::npos;
}

bool portInRange(std::int32_t port) {
    return port >= 1 && port <= 65535;
}

}  // namespace

bool isPresent(const Text& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0x20) {
            continue;
        }
        if (byte == 0xA1 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == 0xA1) {
            ++i;
            continue;
        }
        return true;  // tabs and every other character are content
    }
    return false;
}

std::int32_t HttpWorker(std::shared_ptr<FetchChannel> channel) {
    return HttpWorker(channel.get(), platform::systemHttpClient(), platform::systemCookieStore());
}

std::int32_t HttpWorker(FetchChannel* channel, platform::HttpClient& client, CookieStore& cookies) {
    if (channel == nullptr) {
        return 0;
    }
    const auto request = readRequestRecord(*channel);
    if (!request) {
        return 0;
    }
    channel->rewind();
    channel->clear();

    if (!canBeSent(request->url)) {
        return 0;
    }
    const Text host = hostOfUrl(request->url);
    const Text path = pathOfUrl(request->url);

    const bool viaProxy = isPresent(request->proxy);
    const Text proxyArgument = viaProxy ? kProxyPrefix + request->proxy : Text();
    ScopedHandle internet(
        client,
        client.openInternet(kAgent, viaProxy ? platform::kOpenTypeProxy : platform::kOpenTypeDirect,
                            textOrNull(proxyArgument), nullptr, 0));
    if (!internet) {
        return 0;
    }

    // WinINet reads port 0 as "the default port" and cuts larger numbers to 16 bits, so an
    // unreadable or out-of-range port would quietly reach a different server.
    const std::int32_t port = portOfUrl(request->url);
    if (!portInRange(port)) {
        return 0;
    }
    const char* userName = isPresent(request->userName) ? request->userName.c_str() : nullptr;
    const char* password = isPresent(request->password) ? request->password.c_str() : nullptr;
    ScopedHandle connection(client, client.connect(internet.get(), textOrNull(host), port, userName,
                                                   password, platform::kServiceHttp, 0, 0));
    if (!connection) {
        return 0;
    }

    ScopedHandle httpRequest(
        client, client.openRequest(connection.get(), textOrNull(request->method), path.c_str(),
                                   kHttpVersion, nullptr, nullptr, platform::kFlagReload, 0));
    if (!httpRequest) {
        return 0;
    }

    const Method method = classify(request->method);
    if (method == Method::Unsupported) {
        return 0;
    }
    const Text& body = method == Method::Post ? request->postData : Text();
    const Text headers = completeHeaders(request->headerLines, request->url, body);
    client.sendRequest(
        httpRequest.get(), headers.c_str(), static_cast<std::uint32_t>(headers.size()),
        body.empty() ? nullptr : body.data(), static_cast<std::uint32_t>(body.size()));

    ByteBuffer bodyStream;
    std::array<std::uint8_t, kReadChunk> chunk;
    for (;;) {
        // An abandoned fetch's result is never read, so there is no point in receiving the rest.
        if (platform::stopRequested()) {
            return 0;
        }
        std::uint32_t count = 0;
        client.readFile(httpRequest.get(), chunk.data(), kReadChunk, &count);
        if (count == 0) {
            break;
        }
        if (count > kReadChunk) {
            count = kReadChunk;  // a client that claims more than it was offered is not believed
        }
        if (bodyStream.size() + count > kMaxBodyBytes) {
            return 0;  // a body that never ends must not take the whole memory of the machine
        }
        bodyStream.insert(bodyStream.end(), chunk.begin(), chunk.begin() + count);
    }

    // 1024 blanks and the terminating zero: a block that does not fit leaves the blanks in place.
    std::array<char, kHeaderBufferSize + 1> headerBuffer;
    headerBuffer.fill(' ');
    headerBuffer[kHeaderBufferSize] = '\0';
    std::uint32_t headerLength = kHeaderBufferSize;
    client.queryInfo(httpRequest.get(), platform::kQueryRawHeadersCrlf, headerBuffer.data(),
                     &headerLength, nullptr);
    headerBuffer[kHeaderBufferSize] = '\0';
    const Text headerText(headerBuffer.data());

    // The body stream moves into the channel: released here, and never copied on the way.
    writeReplyRecord(*channel, headerText, std::move(bodyStream));
    httpRequest.close();
    connection.close();
    internet.close();

    storeResponseCookies(headerText, host, cookies);
    return 1;
}

}  // namespace crawlerview
