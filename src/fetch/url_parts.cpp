#include "fetch/url_parts.hpp"

#include <charconv>
#include <string>

namespace crawlerview {
namespace {

constexpr char kScheme[] = "http://";
constexpr TextPos kSchemeLength = 7;

// The port text with the full-width forms of ASCII characters (GBK A3A1..A3FE) and the
// full-width blank (A1A1) turned into their ASCII counterparts. Any other double-byte character
// becomes a byte that can be no part of a number, so that reading stops there.
std::string halfWidth(const Text& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail - 0x80));
        } else if (c == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else {
            out.push_back('\x01');
        }
        ++i;
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a leading number the way a BASIC-style value conversion does: white space, sign,
// digits, decimal point and digits, exponent introduced by e, E, d or D. Stops where the text
// stops fitting; no number at all gives 0.
double readLeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            number.push_back('-');
        }
        ++i;
    }
    std::size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
        number.push_back(text[i]);
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction = 0;
        std::string part = ".";
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++fraction) {
            part.push_back(text[i]);
        }
        if (fraction > 0) {
            number += part;
            digits += fraction;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent.push_back(text[j]);
            ++j;
        }
        std::size_t expDigits = 0;
        for (; j < text.size() && isDigit(text[j]); ++j, ++expDigits) {
            exponent.push_back(text[j]);
        }
        if (expDigits > 0) {
            number += exponent;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc{}) {
        return 0.0;  // out of range: no port at all rather than a wrapped one
    }
    return value;
}

// Where the host part begins: after the first "http://", or at the start.
TextPos hostStart(const Text& url) {
    const TextPos scheme = findText(url, kScheme);
    return scheme == kNotFound ? 1 : scheme + kSchemeLength;
}

}  // namespace

Text hostOfUrl(const Text& url, bool keepPort) {
    const TextPos start = hostStart(url);
    const TextPos slash = findText(url, "/", start);

    Text host;
    if (start <= static_cast<TextPos>(url.size()) && slash != start) {
        host = slash == kNotFound ? midText(url, start) : midText(url, start, slash - start);
    }
    if (!keepPort) {
        const TextPos colon = findText(host, ":");
        if (colon != kNotFound) {
            host = leftText(host, colon - 1);
        }
    }
    return lowerAscii(host);
}

std::int32_t portOfUrl(const Text& url) {
    const Text hostAndPort = hostOfUrl(url, true);
    const TextPos colon = findText(hostAndPort, ":");
    if (colon == kNotFound) {
        return 80;
    }
    const double value = readLeadingNumber(halfWidth(midText(hostAndPort, colon + 1)));
    // Truncation toward zero is only defined for values that fit; anything else names no port.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

Text pathOfUrl(const Text& url) {
    const Text host = hostOfUrl(url);
    // The host is looked for where it was taken from, not from the start of the URL: a host that
    // also stands inside "http://" itself (such as "h" or "tt") would otherwise put the path at
    // the scheme's slashes.
    TextPos hostAt = findText(url, host, hostStart(url), CaseMode::IgnoreAscii);
    if (hostAt == kNotFound) {
        hostAt = 1;
    }
    const TextPos slash = findText(url, "/", hostAt);
    if (slash == kNotFound) {
        return "/";
    }
    return midText(url, slash);
}

}  // namespace crawlerview
