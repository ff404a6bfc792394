// The libcurl client, the cookie jar and the worker thread, end to end through fetchPage, against
// real loopback peers: the scripted server, nginx and tinyproxy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fetch/fetch_page.hpp"
#include "fetch/http_worker.hpp"
#include "platform/cookie_jar.hpp"
#include "platform/event_loop.hpp"
#include "platform/http_client.hpp"
#include "support/nginx_server.hpp"
#include "support/scripted_server.hpp"

namespace crawlerview {
namespace {

using testing::NginxServer;
using testing::ScriptedServer;
using testing::TinyproxyServer;

const std::string kBlanks(1024, ' ');
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

class Servers : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(scripted.start());
        ASSERT_TRUE(nginx.start()) << nginx.error();
        ASSERT_TRUE(proxy.start()) << proxy.error();
    }
    void TearDown() override {
        proxy.stop();
        nginx.stop();
        scripted.stop();
    }
    ScriptedServer scripted;
    NginxServer nginx;
    TinyproxyServer proxy;
};
Servers* const servers = static_cast<Servers*>(::testing::AddGlobalTestEnvironment(new Servers));

std::string asString(const ByteBuffer& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

struct Fetched {
    std::string body;
    Text headers;
    std::vector<platform::WaitResult> waits;
};

// fetchPage with the real platform, noting how each wait ended.
Fetched fetch(FetchRequest request) {
    Fetched out;
    request.responseHeaders = &out.headers;
    const FetchSteps steps{
        [](std::shared_ptr<FetchChannel> channel) { return HttpWorker(std::move(channel)); },
        platform::startWorker,
        [&out](platform::Worker& worker, std::int32_t ms) {
            out.waits.push_back(platform::waitForWorkerOrEvents(worker, ms));
            return out.waits.back();
        },
        platform::processPendingEvents,
    };
    out.body = asString(fetchPage(request, steps));
    return out;
}

Fetched fetch(const Text& url) {
    FetchRequest request;
    request.url = url;
    request.timeoutSeconds = 30;
    return fetch(request);
}

std::string lastRequest() {
    const auto requests = servers->scripted.requests();
    return requests.empty() ? std::string() : requests.back();
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(LinuxFetch, ScriptedAnswersComeBackByteExact) {
    struct Row {
        const char* path;
        std::string body;
        std::string headers;  // exact, or the start of the block when it ends in "..."
    } rows[] = {
        {"/header-1023", "ok", "HTTP/1.1 200 OK\r\nSet-Cookie: fit=1\r\n..."},
        {"/header-1024", "ok", kBlanks},
        {"/zero-bytes", std::string("a\0b\0\0c", 6), "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n..."},
        {"/no-body", "", "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"},
        {"/close-mid-body", "0123456789", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"},
        {"/garbage", "", kBlanks},
        {"/chunked", "first-second-third",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"},
        {"/redirect", "final",
         "HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 5\r\nConnection: close\r\n\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const Fetched got = fetch(servers->scripted.url(row.path));
        EXPECT_EQ(got.body, row.body);
        if (row.headers.size() > 3 && row.headers.compare(row.headers.size() - 3, 3, "...") == 0) {
            const std::string start = row.headers.substr(0, row.headers.size() - 3);
            EXPECT_EQ(got.headers.substr(0, start.size()), start);
            EXPECT_EQ(got.headers.substr(got.headers.size() - 4), "\r\n\r\n");
        } else {
            EXPECT_EQ(got.headers, row.headers);
        }
    }
    EXPECT_EQ(fetch(servers->scripted.url("/header-1023")).headers.size(), 1023u);
}

TEST(LinuxFetch, RequestArrivesAsABrowserWouldSendIt) {
    struct Row {
        const char* name;
        const char* method;
        const char* path;
        const char* headerLines;
        const char* postData;
        std::string requestLine;
        std::vector<std::string> lines;   // each present exactly once
        std::vector<std::string> absent;  // never present
        std::string body;
    } rows[] = {
        {"plain GET",
         "",
         "/echo",
         "",
         "",
         "GET /echo HTTP/1.1\r\n",
         {"\r\nUser-Agent: " + std::string(kAgent) + "\r\n",
          "\r\nAccept: ", "\r\nReferer: ", "\r\nAccept-Language: ", "\r\nHost: 127.0.0.1:"},
         {"Accept-Encoding", "Expect"},
         ""},
        {"lower-case verb, own User-Agent",
         "get",
         "/echo",
         "User-Agent: Baiduspider\r\n",
         "",
         "get /echo HTTP/1.1\r\n",
         {"\r\nUser-Agent: Baiduspider\r\n"},
         {"MSIE"},
         ""},
        {"path that cannot stand in a request line",
         "",
         "/echo?q=a b\"<>`{}|\\^%41\x01\xd6\xd0",
         "",
         "",
         "GET /echo?q=a%20b%22%3C%3E%60%7B%7D%7C%5C%5E%41%01%D6%D0 HTTP/1.1\r\n",
         {},
         {},
         ""},
        {"POST with data",
         "POST",
         "/echo",
         "",
         "a=1&b=2",
         "POST /echo HTTP/1.1\r\n",
         {"\r\nContent-Length: 7\r\n", "\r\nContent-Type: "},
         {"Expect"},
         "a=1&b=2"},
        {"POST without data",
         "post",
         "/echo",
         "",
         "",
         "post /echo HTTP/1.1\r\n",
         {},
         {"Content-Type"},
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FetchRequest request;
        request.url = servers->scripted.url(row.path);
        request.method = row.method;
        request.headerLines = row.headerLines;
        request.postData = row.postData;
        request.timeoutSeconds = 30;
        const Fetched got = fetch(request);
        const std::string arrived = lastRequest();
        EXPECT_EQ(got.body, arrived);  // the echo came back whole
        EXPECT_EQ(arrived.substr(0, row.requestLine.size()), row.requestLine);
        for (const auto& line : row.lines) {
            EXPECT_EQ(count(arrived, line), 1u) << line << " in\n" << arrived;
        }
        for (const auto& part : row.absent) {
            EXPECT_EQ(arrived.find(part), std::string::npos) << part << " in\n" << arrived;
        }
        EXPECT_EQ(arrived.substr(arrived.find("\r\n\r\n") + 4), row.body);
    }
}

TEST(LinuxFetch, BadInputGivesAnEmptyBodyWithoutWaitingForTheTimeOut) {
    for (const std::string& url :
         {std::string("http://127.0.0.1:1/"), std::string("http://127.0.0.1:0/"),
          std::string("https://127.0.0.1/"), std::string(""),
          servers->scripted.url("/echo\r\nX-Injected: 1"), std::string("http://127.0.0.1?x=1"),
          std::string("http://127.0.0.1:70000/"), std::string("http://a b/")}) {
        SCOPED_TRACE(::testing::PrintToString(url));
        FetchRequest request;
        request.url = url;
        request.timeoutSeconds = 20;
        const std::size_t before = servers->scripted.requests().size();
        const Fetched got = fetch(request);
        EXPECT_EQ(got.body, "");
        EXPECT_EQ(got.waits, std::vector<platform::WaitResult>{platform::WaitResult::WorkerEnded});
        EXPECT_EQ(servers->scripted.requests().size(), before);
    }
}

TEST(LinuxFetch, SilentServerTimesOutAndTheWorkerIsLeftBehind) {
    FetchRequest request;
    request.url = servers->scripted.url("/silent");
    request.timeoutSeconds = 1;
    const Fetched got = fetch(request);
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(got.waits, std::vector<platform::WaitResult>{platform::WaitResult::TimedOut});
    // The next fetch is not held up by the abandoned one.
    EXPECT_EQ(fetch(servers->scripted.url("/redirected")).body, "final");
}

TEST(LinuxFetch, NginxPages) {
    const NginxServer& nginx = servers->nginx;
    const Fetched gbk = fetch(nginx.url(testing::kGbkPage));
    EXPECT_NE(gbk.body.find(testing::kChineseTextGbk), std::string::npos);
    EXPECT_EQ(gbk.headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(fetch(nginx.url(testing::kUtf8Page)).body.find(testing::kChineseText),
              std::string::npos);

    const Fetched moved = fetch(nginx.url(testing::kRedirectPage));
    EXPECT_EQ(moved.body, gbk.body);
    EXPECT_EQ(moved.headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);

    const Fetched missing = fetch(nginx.url(testing::kMissingPage));
    EXPECT_EQ(missing.headers.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    EXPECT_NE(missing.body.find("404"), std::string::npos);  // the error page is still a body
}

TEST(LinuxFetch, BasicAuthenticationWhenTheServerAsks) {
    struct Row {
        const char* name;
        const char* user;
        const char* password;
        const char* status;
    } rows[] = {
        {"no credentials", "", "", "HTTP/1.1 401 "},
        {"right ones", testing::kAuthUser, testing::kAuthPassword, "HTTP/1.1 200 OK\r\n"},
        {"wrong password", testing::kAuthUser, "nope", "HTTP/1.1 401 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FetchRequest request;
        request.url = servers->nginx.url(testing::kPrivatePage);
        request.userName = row.user;
        request.password = row.password;
        request.timeoutSeconds = 30;
        const Fetched got = fetch(request);
        EXPECT_EQ(got.headers.rfind(row.status, 0), 0u) << got.headers;
        EXPECT_EQ(got.body == "secret page", std::strcmp(row.name, "right ones") == 0);
    }
}

TEST(LinuxFetch, CookiesOfAHostComeBackOnItsNextRequest) {
    // nginx as "localhost": the scripted server's pages set cookies for 127.0.0.1.
    const std::string base = "http://localhost:" + std::to_string(servers->nginx.port());
    EXPECT_EQ(fetch(base + testing::kEchoCookiePage).body, "cookie=[]");
    EXPECT_EQ(fetch(base + testing::kCookiePage).body, "set");
    EXPECT_EQ(fetch(base + testing::kEchoCookiePage).body, "cookie=[visit=yes]");

    // Stored by hand for the bare host: sent on any port and path of that host, and kept apart
    // from other hosts; an expired one and one without a name are not sent.
    auto& jar = platform::systemCookieStore();
    jar.setCookie("http://localhost", "lang", "zh; path=/; HttpOnly");
    jar.setCookie("http://127.0.0.1", "other", "1");
    jar.setCookie("http://localhost", "gone", "x; max-age=0");
    jar.setCookie("http://localhost", "", "nameless");
    const std::string echoed = fetch(base + testing::kEchoCookiePage).body;
    EXPECT_NE(echoed.find("visit=yes"), std::string::npos) << echoed;
    EXPECT_NE(echoed.find("lang=zh"), std::string::npos) << echoed;
    EXPECT_EQ(echoed.find("other"), std::string::npos) << echoed;
    EXPECT_EQ(echoed.find("gone"), std::string::npos) << echoed;
    EXPECT_EQ(echoed.find("nameless"), std::string::npos) << echoed;
}

TEST(LinuxFetch, ProxyCarriesTheRequestOnlyWhenGiven) {
    const std::string url = servers->nginx.url(testing::kEchoViaPage);
    FetchRequest viaProxy;
    viaProxy.url = url;
    viaProxy.proxy = servers->proxy.address();
    viaProxy.timeoutSeconds = 30;
    const Fetched proxied = fetch(viaProxy);
    EXPECT_NE(proxied.body.find("crawlerview-test-proxy"), std::string::npos) << proxied.body;
    EXPECT_NE(servers->proxy.log().find(testing::kEchoViaPage), std::string::npos);

    // A direct connection stays direct whatever the environment says.
    ::setenv("http_proxy", ("http://" + servers->proxy.address()).c_str(), 1);
    ::setenv("HTTP_PROXY", ("http://" + servers->proxy.address()).c_str(), 1);
    const Fetched direct = fetch(url);
    ::unsetenv("http_proxy");
    ::unsetenv("HTTP_PROXY");
    EXPECT_EQ(direct.body, "via=[]");
}

// The client's own contract, below the worker.
class LinuxClient : public ::testing::Test {
  protected:
    platform::HttpClient& client = platform::systemHttpClient();
    platform::HttpHandle open(const std::string& path, std::uint16_t port = 0) {
        internet = client.openInternet(kAgent, platform::kOpenTypeDirect, nullptr, nullptr, 0);
        connection = client.connect(internet, "127.0.0.1", port ? port : servers->scripted.port(),
                                    nullptr, nullptr, platform::kServiceHttp, 0, 0);
        return client.openRequest(connection, nullptr, path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                  platform::kFlagReload, 0);
    }
    platform::HttpHandle internet = nullptr, connection = nullptr;
};

TEST_F(LinuxClient, QueryInfoCopiesOnlyWhenTheBlockAndItsZeroFit) {
    platform::HttpHandle request = open("/header-1023");
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(client.sendRequest(request, "", 0, nullptr, 0));
    char buffer[1100];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t length = 1023;
    EXPECT_FALSE(
        client.queryInfo(request, platform::kQueryRawHeadersCrlf, buffer, &length, nullptr));
    EXPECT_EQ(length, 1024u);
    EXPECT_EQ(std::string(buffer, 1023), std::string(1023, '#'));
    length = 1024;
    EXPECT_TRUE(
        client.queryInfo(request, platform::kQueryRawHeadersCrlf, buffer, &length, nullptr));
    EXPECT_EQ(length, 1023u);
    EXPECT_EQ(buffer[1023], '\0');
    EXPECT_EQ(std::strlen(buffer), 1023u);
    // Closing the parents first leaves the request usable, and a second close is refused.
    EXPECT_TRUE(client.closeHandle(internet));
    EXPECT_TRUE(client.closeHandle(connection));
    char body[16] = {};
    std::uint32_t got = 99;
    EXPECT_TRUE(client.readFile(request, body, sizeof body, &got));
    EXPECT_EQ(std::string(body, got), "ok");
    EXPECT_TRUE(client.closeHandle(request));
    EXPECT_FALSE(client.closeHandle(request));
    got = 99;
    EXPECT_FALSE(client.readFile(request, body, sizeof body, &got));
    EXPECT_EQ(got, 0u);
}

TEST_F(LinuxClient, BodyIsHandedOutAsItArrives) {
    // The server sends four bytes of a hundred and then falls silent: they must come out at once.
    platform::HttpHandle request = open("/part-then-silent");
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(client.sendRequest(request, "", 0, nullptr, 0));
    char body[512];
    std::uint32_t got = 0;
    client.readFile(request, body, sizeof body, &got);
    EXPECT_EQ(std::string(body, got), "part");
    for (auto* handle : {request, connection, internet}) {
        EXPECT_TRUE(client.closeHandle(handle));
    }
}

TEST_F(LinuxClient, ConnectRefusesWhatCannotBeAHostOrPort) {
    internet = client.openInternet(kAgent, platform::kOpenTypeDirect, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    struct Row {
        const char* host;
        std::int32_t port;
    } rows[] = {{nullptr, 80},    {"", 80},    {"example.com?x=1", 80}, {"a@b", 80},
                {"a/b", 80},      {"a b", 80}, {"127.0.0.1", 0},        {"127.0.0.1", 65536},
                {"127.0.0.1", -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.host ? row.host : "null") + ":" +
                     std::to_string(row.port));
        EXPECT_EQ(client.connect(internet, row.host, row.port, nullptr, nullptr,
                                 platform::kServiceHttp, 0, 0),
                  nullptr);
    }
    EXPECT_TRUE(client.closeHandle(internet));
}

}  // namespace
}  // namespace crawlerview
