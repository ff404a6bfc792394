// fetchPage end to end through the real WinINet, against nginx on a loopback port (started by
// scripts/test-windows, base URL in CRAWLERVIEW_NGINX_URL) and a silent Winsock server.
#include "fetch/fetch_page.hpp"

#include <gtest/gtest.h>

#include "platform/cookie_jar.hpp"
#include "tests/win32/loopback.hpp"

namespace crawlerview {
namespace {

using testing::bytesOf;
using testing::fileBytes;

class FetchPageOverWinInet : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = testing::serverUrl("CRAWLERVIEW_NGINX_URL");
        ASSERT_FALSE(base_.empty()) << "run through scripts/test-windows, which starts nginx";
    }
    ByteBuffer fetch(const std::string& path, std::optional<Text> headerLines = {},
                     Text* responseHeaders = nullptr) {
        FetchRequest request;
        request.url = base_ + path;
        request.headerLines = std::move(headerLines);
        request.responseHeaders = responseHeaders;
        return fetchPage(request);
    }
    std::string base_;
};

TEST_F(FetchPageOverWinInet, PagesArriveByteForByte) {
    struct Row {
        const char* path;
        const char* fixture;
    };
    for (const Row& row :
         {Row{"/page-gbk.html", "page-gbk.html"}, Row{"/page-utf8.html", "page-utf8.html"}}) {
        SCOPED_TRACE(row.path);
        const ByteBuffer expected = fileBytes(std::string(CRAWLERVIEW_FIXTURES "/") + row.fixture);
        ASSERT_GT(expected.size(), 512u) << "the page must span several 512-byte reads";
        EXPECT_EQ(fetch(row.path), expected);
    }
}

TEST_F(FetchPageOverWinInet, CrawlerLineReplacesTheAgentAndDefaultsAreSent) {
    const Text baidu =
        "User-Agent: Mozilla/5.0 (compatible; Baiduspider/2.0; "
        "+http://www.baidu.com/search/spider.html)\r\n";
    EXPECT_EQ(fetch("/echo-agent", baidu), bytesOf("Mozilla/5.0 (compatible; Baiduspider/2.0; "
                                                   "+http://www.baidu.com/search/spider.html)"));
    EXPECT_EQ(fetch("/echo-agent"), bytesOf("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"));
    EXPECT_EQ(fetch("/echo-defaults"),
              bytesOf("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                      "application/x-shockwave-flash, application/vnd.ms-excel, "
                      "application/vnd.ms-powerpoint, application/msword, */*|" +
                      base_ + "/echo-defaults|zh-cn"));
}

TEST_F(FetchPageOverWinInet, CookieSetByAPageIsSentOnTheNextRequest) {
    Text headers;
    EXPECT_EQ(fetch("/set-cookie", {}, &headers), bytesOf("set"));
    EXPECT_NE(findText(headers, "Set-Cookie: visit=crawler", 1, CaseMode::IgnoreAscii), kNotFound)
        << headers;
    const Text sent = toText(fetch("/echo-cookie"));
    EXPECT_NE(findText(sent, "visit=crawler"), kNotFound) << sent;
}

TEST_F(FetchPageOverWinInet, CookieStoreSeamReachesLaterRequests) {
    // InternetSetCookieA itself, as storeResponseCookies calls it, including the null pointers
    // that stand for an empty name.
    struct Row {
        const char* name;
        const char* data;
        const char* expected;
    };
    for (const Row& row :
         {Row{"seam", "stored; path=/", "seam=stored"}, Row{"", "nameless=1", "nameless=1"}}) {
        SCOPED_TRACE(row.expected);
        platform::systemCookieStore().setCookie("http://127.0.0.1", row.name, row.data);
        const Text sent = toText(fetch("/echo-cookie"));
        EXPECT_NE(findText(sent, row.expected), kNotFound) << sent;
    }
}

TEST_F(FetchPageOverWinInet, RedirectIsFollowedToTheFinalPage) {
    Text headers;
    EXPECT_EQ(fetch("/redirect", {}, &headers), fileBytes(CRAWLERVIEW_FIXTURES "/page-gbk.html"));
    EXPECT_EQ(headers.rfind("HTTP/1.1 200", 0), 0u) << headers;
}

TEST_F(FetchPageOverWinInet, HeaderBlockOf1023BytesFitsAnd1024DoesNot) {
    // The block's length for a known padding, measured first: nginx adds its own lines (date,
    // server), so the padding that gives an exact length is found by difference.
    Text probe;
    ASSERT_EQ(fetch("/pad?pad=x", {}, &probe), bytesOf("padded"));
    ASSERT_LT(probe.size(), 900u);
    struct Row {
        std::size_t blockLength;
        bool fits;
    };
    for (const Row& row : {Row{1022, true}, Row{1023, true}, Row{1024, false}, Row{1400, false}}) {
        SCOPED_TRACE(row.blockLength);
        const std::string pad(1 + row.blockLength - probe.size(), 'x');
        Text headers;
        EXPECT_EQ(fetch("/pad?pad=" + pad, {}, &headers), bytesOf("padded"));
        if (row.fits) {
            EXPECT_EQ(headers.size(), row.blockLength);
            EXPECT_NE(findText(headers, pad), kNotFound);
        } else {
            EXPECT_EQ(headers, Text(1024, ' '));
        }
    }
}

TEST_F(FetchPageOverWinInet, ErrorPageBodyIsShownLikeAnyOther) {
    EXPECT_EQ(fetch("/missing"), bytesOf("no such page"));
}

TEST(FetchPageTimeOut, SilentServerGivesEmptyBodyAfterOneSecond) {
    testing::SilentServer silent;
    ASSERT_NE(silent.port(), 0);
    FetchRequest request;
    request.url = silent.url("/");
    request.timeoutSeconds = 1;
    Text headers = "stale";
    request.responseHeaders = &headers;
    EXPECT_TRUE(fetchPage(request).empty());
}

TEST(FetchPageFailures, UnreachableOrUnsupportedGiveEmptyBody) {
    const std::string nginx = testing::serverUrl("CRAWLERVIEW_NGINX_URL");
    struct Row {
        const char* name;
        std::string url;
        std::optional<Text> method;
    };
    const Row rows[] = {
        {"port 0 is not the default port", "http://127.0.0.1:0/", {}},
        // WinINet would cut this to nginx's own port and fetch from a server the URL never named.
        {"port beyond 16 bits",
         "http://127.0.0.1:" + std::to_string(testing::serverPort(nginx) + 65536) +
             "/page-gbk.html",
         {}},
        {"empty URL", "", {}},
        {"unsupported method", nginx + "/page-gbk.html", Text("PUT")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FetchRequest request;
        request.url = row.url;
        request.method = row.method;
        request.timeoutSeconds = 10;
        EXPECT_TRUE(fetchPage(request).empty());
    }
}

}  // namespace
}  // namespace crawlerview
