// Text and ByteBuffer: the two value types every part of CrawlerView passes around, and the
// byte-exact helpers over them. Text is local-code-page text (GBK on the desktops this program
// is made for): a byte of 0x80 or more and the byte after it form one double-byte character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crawlerview {

using Text = std::string;  // local code page bytes, never a zero byte
using ByteBuffer = std::vector<std::uint8_t>;

// 1-based byte positions, as every text operation of the program counts them.
using TextPos = std::ptrdiff_t;
inline constexpr TextPos kNotFound = -1;

enum class CaseMode { Sensitive, IgnoreAscii };

// The bytes of `bytes` up to, not including, the first zero byte.
Text toText(const ByteBuffer& bytes);
// The bytes of `text`, without a terminator.
ByteBuffer toByteBuffer(const Text& text);

// First match of `needle` in `haystack` at or after `from` (below 1 means 1), or kNotFound.
// Candidates are character starts counted from `from`: a lead byte of 0x80 or more is stepped
// over together with the byte after it, so a match never begins on a trail byte. An empty needle
// gives 1 when the haystack has bytes at or after `from`.
TextPos findText(const Text& haystack, const Text& needle, TextPos from = 1,
                 CaseMode mode = CaseMode::Sensitive);

// Byte-based pieces. A count of 0 or less gives the empty text; a count is cut down to what is
// there; a position below 1 or beyond the end gives the empty text.
Text leftText(const Text& text, TextPos count);
Text rightText(const Text& text, TextPos count);
Text midText(const Text& text, TextPos from, TextPos count);
// From `from` to the end.
Text midText(const Text& text, TextPos from);

// Only the ASCII letters change; a double-byte character is left as it is, even where its trail
// byte happens to be a letter.
Text upperAscii(const Text& text);
Text lowerAscii(const Text& text);

}  // namespace crawlerview
