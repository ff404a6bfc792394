#include "fetch/url_parts.hpp"

#include <gtest/gtest.h>

namespace crawlerview {
namespace {

struct UrlCase {
    const char* name;
    Text url;
    Text host;
    Text hostWithPort;
    std::int32_t port;
    Text path;
};

TEST(UrlParts, Table) {
    const UrlCase cases[] = {
        {"capital host, path with query", "http://WWW.Example.COM/Dir/Page.asp?A=1&b=2",
         "www.example.com", "www.example.com", 80, "/Dir/Page.asp?A=1&b=2"},
        {"port and path", "http://host:8080/x/y", "host", "host:8080", 8080, "/x/y"},
        {"no scheme", "example.com/a/b", "example.com", "example.com", 80, "/a/b"},
        {"host only", "http://example.com", "example.com", "example.com", 80, "/"},
        {"query without slash", "http://example.com?q=1", "example.com?q=1", "example.com?q=1", 80,
         "/"},
        {"colon and nothing", "http://host:/p", "host", "host:", 0, "/p"},
        {"colon and letters", "http://host:abc/p", "host", "host:abc", 0, "/p"},
        {"capital scheme not recognised", "HTTP://Host/p", "http", "http:", 0, "//Host/p"},
        {"secure scheme", "https://host/p", "https", "https:", 0, "//host/p"},
        {"scheme later in the query", "x.cn/?u=http://Inner.cn/z", "inner.cn", "inner.cn", 80,
         "/z"},
        {"slash right after scheme", "http:///p", "", "", 80, "///p"},
        {"empty", "", "", "", 80, "/"},
        {"scheme alone", "http://", "", "", 80, "//"},
        // The host is found again in the URL ignoring case, so the path starts at its first "/".
        // The host is searched for where it stands, not inside the scheme's own letters.
        {"host hidden in the scheme", "http://h/x", "h", "h", 80, "/x"},
        {"host hidden in the scheme, no path", "http://tt", "tt", "tt", 80, "/"},
        {"path keeps its case", "http://A.B/C/D", "a.b", "a.b", 80, "/C/D"},
        // A double-byte host name: its bytes are not lower-cased, even a trail byte that is "A".
        {"double-byte host",
         "http://\xB0"
         "A\xD6\xD0.cn/\xCE\xC4",
         "\xB0"
         "A\xD6\xD0.cn",
         "\xB0"
         "A\xD6\xD0.cn",
         80, "/\xCE\xC4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hostOfUrl(c.url), c.host);
        EXPECT_EQ(hostOfUrl(c.url, true), c.hostWithPort);
        EXPECT_EQ(portOfUrl(c.url), c.port);
        EXPECT_EQ(pathOfUrl(c.url), c.path);
    }
}

TEST(UrlParts, PortNumberReading) {
    struct PortCase {
        const char* name;
        Text portText;
        std::int32_t port;
    };
    const PortCase cases[] = {
        {"digits", "8080", 8080},
        {"leading white space", " \t\r\n\v\f81", 81},
        {"plus sign", "+82", 82},
        {"minus sign", "-83", -83},
        {"decimal point truncated", "84.9", 84},
        {"negative truncated toward zero", "-85.9", -85},
        {"exponent e", "8.6e1", 86},
        {"exponent E with sign", "870E-1", 87},
        {"exponent d", "8.8d1", 88},
        {"exponent D", "8.9D1", 89},
        {"exponent without digits stops", "90e", 90},
        {"stops at letters", "91abc", 91},
        {"fraction only", ".95", 0},
        {"sign only", "-", 0},
        {"full-width digits", "\xA3\xB9\xA3\xB2", 92},
        {"full-width blank then digits",
         "\xA1\xA1"
         "93",
         93},
        {"full-width minus and point", "\xA3\xAD\xA3\xB9\xA3\xB4\xA3\xAE\xA3\xB5", -94},
        {"other double-byte stops",
         "95\xD6\xD0"
         "1",
         95},
        {"largest int32", "2147483647", 2147483647},
        {"smallest int32", "-2147483648", -2147483647 - 1},
        // Numbers that do not fit in 32 bits name no port at all rather than a wrapped one.
        {"just too large", "2147483648", 0},
        {"twenty digits", "12345678901234567890", 0},
        {"huge exponent", "1e300", 0},
        {"overflowing exponent", "1e99999", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(portOfUrl("http://host:" + c.portText + "/"), c.port);
    }
}

}  // namespace
}  // namespace crawlerview
