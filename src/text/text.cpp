#include "text/text.hpp"

#include <algorithm>

namespace crawlerview {
namespace {

constexpr bool isLeadByte(unsigned char c) {
    return c >= 0x80;
}

constexpr unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool matchesAt(const Text& haystack, std::size_t at, const Text& needle, CaseMode mode) {
    for (std::size_t i = 0; i < needle.size(); ++i) {
        auto h = static_cast<unsigned char>(haystack[at + i]);
        auto n = static_cast<unsigned char>(needle[i]);
        if (mode == CaseMode::IgnoreAscii) {
            h = foldAscii(h);
            n = foldAscii(n);
        }
        if (h != n) {
            return false;
        }
    }
    return true;
}

template <typename Change>
Text changeAsciiLetters(const Text& text, Change change) {
    Text out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (isLeadByte(c)) {
            ++i;  // the trail byte belongs to the same character
        } else {
            out[i] = static_cast<char>(change(c));
        }
    }
    return out;
}

}  // namespace

Text toText(const ByteBuffer& bytes) {
    auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return Text(bytes.begin(), end);
}

ByteBuffer toByteBuffer(const Text& text) {
    return ByteBuffer(text.begin(), text.end());
}

TextPos findText(const Text& haystack, const Text& needle, TextPos from, CaseMode mode) {
    if (from < 1) {
        from = 1;
    }
    const auto size = static_cast<TextPos>(haystack.size());
    if (from > size) {
        return kNotFound;
    }
    if (needle.empty()) {
        return 1;
    }
    const auto last = size - static_cast<TextPos>(needle.size());  // last 0-based start that fits
    for (TextPos at = from - 1; at <= last;) {
        if (matchesAt(haystack, static_cast<std::size_t>(at), needle, mode)) {
            return at + 1;
        }
        at +=
            isLeadByte(static_cast<unsigned char>(haystack[static_cast<std::size_t>(at)])) ? 2 : 1;
    }
    return kNotFound;
}

Text leftText(const Text& text, TextPos count) {
    if (count <= 0) {
        return {};
    }
    return text.substr(0, static_cast<std::size_t>(count));
}

Text rightText(const Text& text, TextPos count) {
    if (count <= 0) {
        return {};
    }
    const auto n = std::min(static_cast<std::size_t>(count), text.size());
    return text.substr(text.size() - n);
}

Text midText(const Text& text, TextPos from, TextPos count) {
    if (count <= 0 || from < 1 || from > static_cast<TextPos>(text.size())) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count));
}

Text midText(const Text& text, TextPos from) {
    if (from < 1 || from > static_cast<TextPos>(text.size())) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(from - 1));
}

Text upperAscii(const Text& text) {
    return changeAsciiLetters(text, [](unsigned char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
    });
}

Text lowerAscii(const Text& text) {
    return changeAsciiLetters(text, foldAscii);
}

}  // namespace crawlerview
