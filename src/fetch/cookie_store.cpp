#include "fetch/cookie_store.hpp"

#include <string_view>

namespace crawlerview {
namespace {

constexpr char kSetCookie[] = "Set-Cookie: ";
constexpr TextPos kSetCookieLength = 12;

void storeCookieLine(const Text& line, const Text& cookieUrl, CookieStore& store) {
    // Only a line whose header name is Set-Cookie carries a cookie. A "Set-Cookie: " further on
    // (a header whose name merely ends in Set-Cookie, or one inside another header's value) is
    // no cookie of this response, so such a line is skipped rather than cut at its 12th byte.
    if (findText(line, kSetCookie, 1, CaseMode::IgnoreAscii) != 1) {
        return;
    }
    const Text rest = midText(line, kSetCookieLength + 1);
    const TextPos equals = findText(rest, "=");
    if (equals == kNotFound) {
        store.setCookie(cookieUrl, {}, rest);
        return;
    }
    const auto restLength = static_cast<TextPos>(rest.size());
    store.setCookie(cookieUrl, leftText(rest, equals - 1), rightText(rest, restLength - equals));
}

}  // namespace

void storeResponseCookies(const Text& headers, const Text& host, CookieStore& store) {
    if (findText(headers, kSetCookie, 1, CaseMode::IgnoreAscii) == kNotFound) {
        return;
    }
    const Text cookieUrl = "http://" + host;
    // Lines end at LF only; a CR before it is dropped. Every other byte, 0x1A included, is an
    // ordinary byte of its line, so the reading always moves forward and ends.
    std::size_t start = 0;
    while (start < headers.size()) {
        const std::size_t lineFeed = headers.find('\n', start);
        const std::size_t next = lineFeed == Text::npos ? headers.size() : lineFeed + 1;
        std::size_t end = lineFeed == Text::npos ? headers.size() : lineFeed;
        if (end > start && headers[end - 1] == '\r') {
            --end;
        }
        storeCookieLine(headers.substr(start, end - start), cookieUrl, store);
        start = next;
    }
}

}  // namespace crawlerview
