// The worker against a recording HTTP client and cookie store: which calls it makes, with which
// arguments, in which order, and what it leaves in the channel.
#include "fetch/http_worker.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "fetch/request_headers.hpp"
#include "platform/worker_thread.hpp"

namespace crawlerview {
namespace {

using platform::HttpHandle;

const HttpHandle kInternet = reinterpret_cast<HttpHandle>(0x11);
const HttpHandle kConnection = reinterpret_cast<HttpHandle>(0x22);
const HttpHandle kRequest = reinterpret_cast<HttpHandle>(0x33);
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string kBlanks(1024, ' ');

std::string show(const char* text) {
    return text == nullptr ? "null" : '"' + std::string(text) + '"';
}

std::string handleName(HttpHandle handle) {
    if (handle == kInternet)
        return "I";
    if (handle == kConnection)
        return "C";
    if (handle == kRequest)
        return "R";
    return handle == nullptr ? "null" : "?";
}

// Records every call, nulls included, in one log shared with the cookie store below.
class RecordingClient final : public platform::HttpClient {
  public:
    std::vector<std::string>& log;
    explicit RecordingClient(std::vector<std::string>& sharedLog) : log(sharedLog) {}

    // What the fake answers.
    bool failOpen = false, failConnect = false, failOpenRequest = false, failSend = false;
    std::string body;
    bool endlessBody = false;      // every read delivers a full chunk of 'x'
    std::size_t endlessLimit = 0;  // when non-zero, the endless body ends after this many bytes
    std::string headerBlock = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    FetchChannel* channel = nullptr;  // looked at when the request handle closes

    std::size_t reads = 0;
    std::size_t bodyOffset = 0;
    std::uint32_t largestOffer = 0;
    std::size_t bodyWhenOffered512 = 0;
    std::function<void()> onRead;

    HttpHandle openInternet(const char* agent, std::uint32_t accessType, const char* proxy,
                            const char* proxyBypass, std::uint32_t flags) override {
        log.push_back("openInternet(" + show(agent) + "," + std::to_string(accessType) + "," +
                      show(proxy) + "," + show(proxyBypass) + "," + std::to_string(flags) + ")");
        return failOpen ? nullptr : kInternet;
    }
    HttpHandle connect(HttpHandle internet, const char* host, std::int32_t port,
                       const char* userName, const char* password, std::uint32_t service,
                       std::uint32_t flags, std::uintptr_t context) override {
        log.push_back("connect(" + handleName(internet) + "," + show(host) + "," +
                      std::to_string(port) + "," + show(userName) + "," + show(password) + "," +
                      std::to_string(service) + "," + std::to_string(flags) + "," +
                      std::to_string(context) + ")");
        return failConnect ? nullptr : kConnection;
    }
    HttpHandle openRequest(HttpHandle connection, const char* verb, const char* path,
                           const char* version, const char* referrer,
                           const char* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context) override {
        log.push_back("openRequest(" + handleName(connection) + "," + show(verb) + "," +
                      show(path) + "," + show(version) + "," + show(referrer) + "," +
                      (acceptTypes == nullptr ? "null" : "types") + "," + std::to_string(flags) +
                      "," + std::to_string(context) + ")");
        return failOpenRequest ? nullptr : kRequest;
    }
    bool sendRequest(HttpHandle request, const char* headers, std::uint32_t headersLength,
                     const void* bodyData, std::uint32_t bodyLength) override {
        const std::string headerText =
            headers == nullptr ? "null" : '"' + std::string(headers, headersLength) + '"';
        const std::string bodyText =
            bodyData == nullptr
                ? "null"
                : '"' + std::string(static_cast<const char*>(bodyData), bodyLength) + '"';
        log.push_back("sendRequest(" + handleName(request) + "," + headerText + "," +
                      std::to_string(headersLength) + "," + bodyText + "," +
                      std::to_string(bodyLength) + ")");
        return !failSend;
    }
    bool readFile(HttpHandle request, void* buffer, std::uint32_t bytesToRead,
                  std::uint32_t* bytesRead) override {
        *bytesRead = 0;
        if (reads++ == 0) {
            log.push_back("readFile(" + handleName(request) + "," + std::to_string(bytesToRead) +
                          ")");
        }
        largestOffer = std::max(largestOffer, bytesToRead);
        if (onRead) {
            onRead();
        }
        if (failSend) {
            return false;
        }
        if (endlessBody) {
            if (endlessLimit != 0 && bodyOffset >= endlessLimit) {
                return true;
            }
            std::memset(buffer, 'x', bytesToRead);
            bodyOffset += bytesToRead;
            *bytesRead = bytesToRead;
            return true;
        }
        const std::size_t n = std::min<std::size_t>(bytesToRead, body.size() - bodyOffset);
        std::memcpy(buffer, body.data() + bodyOffset, n);
        bodyOffset += n;
        *bytesRead = static_cast<std::uint32_t>(n);
        return true;
    }
    bool queryInfo(HttpHandle request, std::uint32_t infoLevel, void* buffer,
                   std::uint32_t* bufferLength, std::uint32_t* index) override {
        log.push_back("queryInfo(" + handleName(request) + "," + std::to_string(infoLevel) + "," +
                      std::to_string(*bufferLength) + "," + (index == nullptr ? "null" : "index") +
                      ")");
        if (failSend) {
            return false;
        }
        if (headerBlock.size() + 1 > *bufferLength) {
            *bufferLength = static_cast<std::uint32_t>(headerBlock.size() + 1);
            return false;
        }
        std::memcpy(buffer, headerBlock.c_str(), headerBlock.size() + 1);
        *bufferLength = static_cast<std::uint32_t>(headerBlock.size());
        return true;
    }
    bool closeHandle(HttpHandle handle) override {
        std::string entry = "close(" + handleName(handle) + ")";
        if (handle == kRequest && channel != nullptr) {
            channel->rewind();
            const bool replied = channel->readText() == kReplyMarker;
            entry += replied ? " after reply" : " without reply";
        }
        log.push_back(entry);
        return true;
    }
};

class RecordingCookies final : public CookieStore {
  public:
    std::vector<std::string>& log;
    explicit RecordingCookies(std::vector<std::string>& sharedLog) : log(sharedLog) {}
    void setCookie(const Text& url, const Text& name, const Text& data) override {
        log.push_back("setCookie(" + url + "," + name + "," + data + ")");
    }
};

struct WorkerRun {
    std::vector<std::string> log;
    RecordingClient client{log};
    RecordingCookies cookies{log};
    FetchChannel channel;

    std::int32_t run(const RequestRecord& request) {
        writeRequestRecord(channel, request);
        client.channel = &channel;
        return HttpWorker(&channel, client, cookies);
    }
    ReplyRecord reply() { return takeReplyRecord(channel); }
};

std::string openInternetCall(int accessType, const std::string& proxy) {
    return "openInternet(\"" + std::string(kAgent) + "\"," + std::to_string(accessType) + "," +
           proxy + ",null,0)";
}

std::string openRequestCall(const std::string& verb, const std::string& path) {
    return "openRequest(C," + verb + ",\"" + path + "\",\"HTTP/1.1\",null,null,2147483648,0)";
}

std::string sendCall(const Text& headers, const std::string& body) {
    const std::string bodyArgs =
        body.empty() ? "null,0" : '"' + body + "\"," + std::to_string(body.size());
    return "sendRequest(R,\"" + headers + "\"," + std::to_string(headers.size()) + "," + bodyArgs +
           ")";
}

void expectLog(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size()) << ::testing::PrintToString(actual);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "call " << i;
    }
}

TEST(HttpWorker, PresentTextIgnoresHalfAndFullWidthBlanksOnly) {
    struct Row {
        const char* text;
        bool present;
    } rows[] = {
        {"", false},         {"   ", false},
        {"\xA1\xA1", false}, {" \xA1\xA1 \xA1\xA1", false},
        {"\t", true},        {"\xA1", true},  // half a full-width blank is content
        {"\xA1\xA2", true},                   // another double-byte character
        {" x ", true},       {"\xA1\xA1\xB0\xA1", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.text)));
        EXPECT_EQ(isPresent(row.text), row.present);
    }
}

TEST(HttpWorker, PassesTheRequestToThePlatformAsGiven) {
    const Text url = "http://Example.COM:8080/Path?q=1";
    struct Row {
        const char* name;
        RequestRecord request;
        std::string openInternet, connect, openRequest;
        Text sendHeaders;
        std::string sendBody;
    } rows[] = {
        {"everything left out",
         {url, "", "", "", "", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"proxy",
         {url, "", "127.0.0.1:3128", "", "", "", ""},
         openInternetCall(3, "\"http=127.0.0.1:3128\""),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"proxy of half- and full-width blanks",
         {url, "", " \xA1\xA1  ", "", "", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"proxy of a tab is present",
         {url, "", "\t", "", "", "", ""},
         openInternetCall(3, "\"http=\t\""),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"blank user, present password",
         {url, "", "", "  ", "pw", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,\"pw\",3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"credentials keep their blanks",
         {url, "", "", " u ", "\xA1\xA1p", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,\" u \",\"\xA1\xA1p\",3,0,0)",
         openRequestCall("null", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"lower-case get goes as get and sends no body",
         {url, "get", "", "", "", "", "a=1"},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("\"get\"", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"lower-case post without data",
         {url, "post", "", "", "", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("\"post\"", "/Path?q=1"),
         completeHeaders("", url),
         ""},
        {"post with data",
         {url, "POST", "", "", "", "X-A: 1\r\n", "a=1&b=2"},
         openInternetCall(1, "null"),
         "connect(I,\"example.com\",8080,null,null,3,0,0)",
         openRequestCall("\"POST\"", "/Path?q=1"),
         completeHeaders("X-A: 1\r\n", url, "a=1&b=2"),
         "a=1&b=2"},
        {"no path, no port",
         {"http://srv", "", "", "", "", "", ""},
         openInternetCall(1, "null"),
         "connect(I,\"srv\",80,null,null,3,0,0)",
         openRequestCall("null", "/"),
         completeHeaders("", "http://srv"),
         ""},
        {"empty URL: null host",
         {"", "", "", "", "", "", ""},
         openInternetCall(1, "null"),
         "connect(I,null,80,null,null,3,0,0)",
         openRequestCall("null", "/"),
         completeHeaders("", ""),
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WorkerRun run;
        EXPECT_EQ(run.run(row.request), 1);
        expectLog(run.log,
                  {row.openInternet, row.connect, row.openRequest,
                   sendCall(row.sendHeaders, row.sendBody), "readFile(R,512)",
                   "queryInfo(R,22,1024,null)", "close(R) after reply", "close(C)", "close(I)"});
        const ReplyRecord reply = run.reply();
        EXPECT_EQ(reply.marker, kReplyMarker);
        EXPECT_EQ(reply.headers, run.client.headerBlock);
        EXPECT_TRUE(reply.body.empty());
    }
}

TEST(HttpWorker, UnsupportedMethodsSendNothingAndCloseAllThreeHandles) {
    for (const char* method : {"PUT", "HEAD", " GET", "GET ", "  ", "DELETE"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(method)));
        WorkerRun run;
        EXPECT_EQ(run.run({"http://srv/", method, "", "", "", "", ""}), 0);
        expectLog(run.log, {openInternetCall(1, "null"), "connect(I,\"srv\",80,null,null,3,0,0)",
                            openRequestCall('"' + std::string(method) + '"', "/"),
                            "close(R) without reply", "close(C)", "close(I)"});
        EXPECT_EQ(run.channel.length(), 0u);
    }
}

TEST(HttpWorker, EachFailedOpenClosesWhatWasOpenedBeforeIt) {
    struct Row {
        const char* name;
        bool RecordingClient::*fail;
        std::vector<std::string> log;
    } rows[] = {
        {"Internet handle", &RecordingClient::failOpen, {openInternetCall(1, "null")}},
        {"connection",
         &RecordingClient::failConnect,
         {openInternetCall(1, "null"), "connect(I,\"srv\",80,null,null,3,0,0)", "close(I)"}},
        {"request",
         &RecordingClient::failOpenRequest,
         {openInternetCall(1, "null"), "connect(I,\"srv\",80,null,null,3,0,0)",
          openRequestCall("null", "/"), "close(C)", "close(I)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WorkerRun run;
        run.client.*row.fail = true;
        EXPECT_EQ(run.run({"http://srv/", "", "", "", "", "", ""}), 0);
        expectLog(run.log, row.log);
        EXPECT_EQ(run.channel.length(), 0u);
    }
}

TEST(HttpWorker, RefusesUrlsThatWouldInjectHeaderLines) {
    for (const char* url : {"http://srv/\r\nX-Injected: 1", "http://srv/a\nb", "http://srv/\r"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(url)));
        WorkerRun run;
        EXPECT_EQ(run.run({url, "", "", "", "", "", ""}), 0);
        EXPECT_TRUE(run.log.empty()) << ::testing::PrintToString(run.log);
        EXPECT_EQ(run.channel.length(), 0u);
    }
}

TEST(HttpWorker, PortOutsideOneTo65535CountsAsAFailedConnect) {
    struct Row {
        const char* url;
        int connectedPort;  // 0: no connect call
    } rows[] = {
        {"http://srv:0/", 0},   {"http://srv:/", 0},      {"http://srv:abc/", 0},
        {"http://srv:-80/", 0}, {"http://srv:65536/", 0}, {"http://srv:99999999999/", 0},
        {"https://h/", 0},    {"http://srv:1/", 1},     {"http://srv:65535/", 65535},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        WorkerRun run;
        const std::int32_t result = run.run({row.url, "", "", "", "", "", ""});
        if (row.connectedPort == 0) {
            EXPECT_EQ(result, 0);
            ASSERT_EQ(run.log.size(), 2u) << ::testing::PrintToString(run.log);
            EXPECT_EQ(run.log[1], "close(I)");
            EXPECT_EQ(run.channel.length(), 0u);
        } else {
            EXPECT_EQ(result, 1);
            ASSERT_GE(run.log.size(), 2u);
            EXPECT_NE(run.log[1].find("," + std::to_string(row.connectedPort) + ","),
                      std::string::npos)
                << run.log[1];
        }
    }
}

TEST(HttpWorker, LeavesAChannelWithoutTheRequestMarkerUntouched) {
    for (const char* marker : {"quillax", "Quillax_OK", "Quillax ", ""}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(marker)));
        WorkerRun run;
        run.channel.write(Text(marker));
        run.channel.write(Text("http://srv/"));
        const std::size_t before = run.channel.length();
        EXPECT_EQ(HttpWorker(&run.channel, run.client, run.cookies), 0);
        EXPECT_TRUE(run.log.empty());
        EXPECT_EQ(run.channel.length(), before);
        run.channel.rewind();
        EXPECT_EQ(run.channel.readText(), marker);
        EXPECT_EQ(run.channel.readText(), "http://srv/");
    }
    std::vector<std::string> log;
    RecordingClient client(log);
    RecordingCookies cookies(log);
    EXPECT_EQ(HttpWorker(nullptr, client, cookies), 0);
    EXPECT_TRUE(log.empty());
}

// A block of exactly `size` bytes that sets cookie a=b.
std::string headerBlockOf(std::size_t size) {
    std::string block = "HTTP/1.1 200 OK\r\nSet-Cookie: a=b; path=/\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    block += std::string(size - block.size() - end.size(), 'p');
    return block + end;
}

TEST(HttpWorker, HeaderBlockMustFitWithItsZeroInTheBuffer) {
    struct Row {
        std::size_t blockSize;
        bool fits;
    } rows[] = {{100, true}, {1023, true}, {1024, false}, {5000, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blockSize);
        WorkerRun run;
        run.client.headerBlock = headerBlockOf(row.blockSize);
        run.client.body = "body";
        EXPECT_EQ(run.run({"http://srv:81/x", "", "", "", "", "", ""}), 1);
        const ReplyRecord reply = run.reply();
        EXPECT_EQ(reply.marker, kReplyMarker);
        EXPECT_EQ(reply.headers, row.fits ? run.client.headerBlock : kBlanks);
        EXPECT_EQ(toText(reply.body), "body");
        const bool stored = run.log.back().rfind("setCookie(", 0) == 0;
        EXPECT_EQ(stored, row.fits) << run.log.back();
    }
}

TEST(HttpWorker, FailedSendStillRepliesWithBlanksAndNoBody) {
    WorkerRun run;
    run.client.failSend = true;
    EXPECT_EQ(run.run({"http://srv/", "", "", "", "", "", ""}), 1);
    const ReplyRecord reply = run.reply();
    EXPECT_EQ(reply.marker, kReplyMarker);
    EXPECT_EQ(reply.headers, kBlanks);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_EQ(run.log.back(), "close(I)");  // nothing stored from the blanks
}

TEST(HttpWorker, BodyComesBackWholeReadIn512ByteChunks) {
    std::string body;
    for (int i = 0; i < 1300; ++i) {
        body += static_cast<char>(i % 7 == 0 ? 0 : 'a' + i % 26);
    }
    WorkerRun run;
    run.client.body = body;
    EXPECT_EQ(run.run({"http://srv/", "", "", "", "", "", ""}), 1);
    const ReplyRecord reply = run.reply();
    ASSERT_EQ(reply.body.size(), body.size());
    EXPECT_TRUE(
        std::equal(reply.body.begin(), reply.body.end(), body.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    EXPECT_EQ(run.client.largestOffer, 512u);
    EXPECT_EQ(run.client.reads, 4u);  // 512 + 512 + 276, then the read that reports the end
}

TEST(HttpWorker, StoresCookiesLastForTheBareHost) {
    WorkerRun run;
    run.client.headerBlock =
        "HTTP/1.1 200 OK\r\nSet-Cookie: sid=42; path=/; HttpOnly\r\nset-cookie: two=2\r\n\r\n";
    EXPECT_EQ(run.run({"http://WWW.Example.com:8080/a/b?c", "", "", "", "", "", ""}), 1);
    ASSERT_GE(run.log.size(), 5u);
    const std::vector<std::string> tail(run.log.end() - 5, run.log.end());
    expectLog(tail, {"close(R) after reply", "close(C)", "close(I)",
                     "setCookie(http://www.example.com,sid,42; path=/; HttpOnly)",
                     "setCookie(http://www.example.com,two,2)"});
}

TEST(HttpWorker, BodyBeyondTheCapFailsTheExchange) {
    struct Row {
        std::size_t bodySize;
        std::int32_t result;
    } rows[] = {{kMaxBodyBytes, 1}, {kMaxBodyBytes + 1, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bodySize);
        WorkerRun run;
        run.client.endlessBody = true;
        run.client.endlessLimit = row.bodySize;
        EXPECT_EQ(run.run({"http://srv/", "", "", "", "", "", ""}), row.result);
        ASSERT_GE(run.log.size(), 3u);
        const std::vector<std::string> tail(run.log.end() - 3, run.log.end());
        expectLog(tail, {row.result == 1 ? "close(R) after reply" : "close(R) without reply",
                         "close(C)", "close(I)"});
        if (row.result == 1) {
            EXPECT_EQ(run.reply().body.size(), kMaxBodyBytes);
        } else {
            EXPECT_EQ(run.channel.length(), 0u);
        }
    }
}

// An abandoned worker stops reading a body that never ends and still closes its handles.
struct AbandonedRun {
    std::mutex mutex;
    std::condition_variable changed;
    bool reading = false;
    bool released = false;
    bool finished = false;
    std::int32_t result = -1;
    WorkerRun run;
};
AbandonedRun* abandoned = nullptr;

std::int32_t abandonedBody(std::shared_ptr<FetchChannel> channel) {
    AbandonedRun& a = *abandoned;
    const std::int32_t result = HttpWorker(channel.get(), a.run.client, a.run.cookies);
    std::lock_guard lock(a.mutex);
    a.result = result;
    a.finished = true;
    a.changed.notify_all();
    return result;
}

TEST(HttpWorker, StopsReadingWhenTheFetchIsAbandoned) {
    static AbandonedRun a;  // outlives the detached thread whatever happens
    abandoned = &a;
    a.run.client.endlessBody = true;
    // The first read holds the worker until it has been released, so that only the worker's own
    // check can end the endless body (and not the size cap).
    a.run.client.onRead = [] {
        std::unique_lock lock(abandoned->mutex);
        if (!abandoned->reading) {
            abandoned->reading = true;
            abandoned->changed.notify_all();
            abandoned->changed.wait(lock, [] { return abandoned->released; });
        }
    };
    auto channel = std::make_shared<FetchChannel>();
    writeRequestRecord(*channel, {"http://srv/", "", "", "", "", "", ""});
    platform::WorkerHandle worker = platform::startWorker(abandonedBody, channel);
    ASSERT_NE(worker, nullptr);
    {
        std::unique_lock lock(a.mutex);
        ASSERT_TRUE(
            a.changed.wait_for(lock, std::chrono::seconds(30), [] { return abandoned->reading; }));
    }
    worker.reset();
    std::unique_lock lock(a.mutex);
    a.released = true;
    a.changed.notify_all();
    ASSERT_TRUE(a.changed.wait_for(lock, std::chrono::seconds(30), [] {
        return abandoned->finished;
    })) << "the worker kept reading after it was released";
    EXPECT_EQ(a.result, 0);
    EXPECT_LE(a.run.client.bodyOffset, 512u);
    const std::vector<std::string> tail(a.run.log.end() - 3, a.run.log.end());
    expectLog(tail, {"close(R)", "close(C)", "close(I)"});
}

}  // namespace
}  // namespace crawlerview
