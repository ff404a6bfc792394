#include "fetch/cookie_store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace crawlerview {
namespace {

using Stored = std::tuple<Text, Text, Text>;  // url, name, data

struct RecordingStore final : CookieStore {
    std::vector<Stored> cookies;
    void setCookie(const Text& url, const Text& name, const Text& data) override {
        cookies.emplace_back(url, name, data);
    }
};

std::vector<Stored> store(const Text& headers, const Text& host = "a.cn") {
    RecordingStore recorder;
    storeResponseCookies(headers, host, recorder);
    return recorder.cookies;
}

TEST(StoreResponseCookies, Table) {
    struct Case {
        const char* name;
        Text headers;
        std::vector<Stored> expected;
    };
    const Text url = "http://a.cn";
    const Case cases[] = {
        {"no cookie", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", {}},
        {"name, value and attributes",
         "HTTP/1.1 200 OK\r\nSet-Cookie: sid=42; path=/; HttpOnly\r\n\r\n",
         {{url, "sid", "42; path=/; HttpOnly"}}},
        {"lower-case header name", "set-cookie: a=1\r\n", {{url, "a", "1"}}},
        {"no equals sign", "Set-Cookie: flag\r\n", {{url, "", "flag"}}},
        {"starts with equals", "Set-Cookie: =v\r\n", {{url, "", "v"}}},
        {"ends with equals", "Set-Cookie: n=\r\n", {{url, "n", ""}}},
        {"two lines in order",
         "Set-Cookie: a=1\r\nX: y\r\nSet-Cookie: b=2\r\n",
         {{url, "a", "1"}, {url, "b", "2"}}},
        {"no blank after colon", "Set-Cookie:a=1\r\n", {}},
        {"two blanks keep one", "Set-Cookie:  a=1\r\n", {{url, " a", "1"}}},
        {"nothing trimmed", "Set-Cookie: a = 1 \r\n", {{url, "a ", " 1 "}}},
        {"last line without LF", "X: y\r\nSet-Cookie: a=1", {{url, "a", "1"}}},
        {"LF without CR",
         "X: y\nSet-Cookie: a=1\nSet-Cookie: b=2\n",
         {{url, "a", "1"}, {url, "b", "2"}}},
        // A CR that does not end a line is part of it: this is one line.
        {"CR without LF", "Set-Cookie: a=1\rSet-Cookie: b=2\r", {{url, "a", "1\rSet-Cookie: b=2"}}},
        {"0x1A is an ordinary byte",
         "Set-Cookie: a=1\x1A"
         "b\r\nSet-Cookie: c=2\x1A",
         {{url, "a",
           "1\x1A"
           "b"},
          {url, "c", "2\x1A"}}},
        // Only a line whose header name is Set-Cookie carries a cookie.
        {"name ending in Set-Cookie",
         "X-Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n",
         {{url, "b", "2"}}},
        {"inside a value", "X: Set-Cookie: a=1\r\n", {}},
        {"blank header block", Text(1024, ' '), {}},
        {"only line ends", "\r\n\r\n\n\n", {}},
        {"double-byte value", "Set-Cookie: \xD6\xD0=\xCE\xC4\r\n", {{url, "\xD6\xD0", "\xCE\xC4"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(store(c.headers), c.expected);
    }
}

TEST(StoreResponseCookies, UrlIsTheBareHost) {
    EXPECT_EQ(store("Set-Cookie: a=1\r\n", "www.x.cn"),
              (std::vector<Stored>{{"http://www.x.cn", "a", "1"}}));
}

TEST(StoreResponseCookies, LongLineIsKeptWhole) {
    const Text value(10000, 'v');
    EXPECT_EQ(store("Set-Cookie: big=" + value + "\r\n"),
              (std::vector<Stored>{{"http://a.cn", "big", value}}));
}

}  // namespace
}  // namespace crawlerview
