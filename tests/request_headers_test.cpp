#include "fetch/request_headers.hpp"

#include <gtest/gtest.h>

namespace crawlerview {
namespace {

const Text kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
const Text kUrl = "http://a.cn/x";
const Text kReferer = "Referer: http://a.cn/x\r\n";
const Text kLanguage = "Accept-Language: zh-cn\r\n";
const Text kFormType = "Content-Type: application/x-www-form-urlencoded\r\n";

TEST(CompleteHeaders, Table) {
    struct Case {
        const char* name;
        Text headers;
        Text body;
        Text expected;
    };
    const Text ua = "User-Agent: Bot\r\n";
    const Case cases[] = {
        {"empty GET", "", "", kAccept + kReferer + kLanguage},
        {"caller line stays first", ua, "", ua + kAccept + kReferer + kLanguage},
        {"lower-case accept counts", "accept: text/html\r\n", "",
         "accept: text/html\r\n" + kReferer + kLanguage},
        {"Accept-Language is not Accept", "Accept-Language: en\r\n", "",
         "Accept-Language: en\r\n" + kAccept + kReferer},
        {"Accept without blank is not found", "Accept:text/html\r\n", "",
         "Accept:text/html\r\n" + kAccept + kReferer + kLanguage},
        {"X-Referer counts as Referer", "X-Referer: z\r\n", "",
         "X-Referer: z\r\n" + kAccept + kLanguage},
        {"no CR LF at the end joins", "A: b", "", "A: b" + kAccept + kReferer + kLanguage},
        {"POST with a body", "", "a=1&b=2",
         kAccept + kReferer + kLanguage + kFormType + "Content-Length: 7\r\n"},
        {"own Content-Type kept", "Content-Type: text/plain\r\n", "xyz",
         "Content-Type: text/plain\r\n" + kAccept + kReferer + kLanguage + "Content-Length: 3\r\n"},
        {"Content-Length always added", "Content-Length: 99\r\n", "ab",
         "Content-Length: 99\r\n" + kAccept + kReferer + kLanguage + kFormType +
             "Content-Length: 2\r\n"},
        // A match never begins on the trail byte of a double-byte character.
        {"name hidden in a trail byte",
         "X: \xB0"
         "Accept: \r\n",
         "",
         "X: \xB0"
         "Accept: \r\n" +
             kAccept + kReferer + kLanguage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(completeHeaders(c.headers, kUrl, c.body), c.expected);
    }
}

TEST(CompleteHeaders, RefererCarriesTheUrlAsGiven) {
    EXPECT_EQ(completeHeaders("Accept: x\r\nAccept-Language: y\r\n", "HTTP://Big/Path?Q"),
              "Accept: x\r\nAccept-Language: y\r\nReferer: HTTP://Big/Path?Q\r\n");
}

}  // namespace
}  // namespace crawlerview
