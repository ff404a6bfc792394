#include "text/text.hpp"

#include <gtest/gtest.h>

namespace crawlerview {
namespace {

struct SearchCase {
    const char* name;
    Text haystack;
    Text needle;
    TextPos from;
    CaseMode mode;
    TextPos expected;
};

TEST(FindText, Table) {
    const auto S = CaseMode::Sensitive;
    const auto I = CaseMode::IgnoreAscii;
    const SearchCase cases[] = {
        {"plain match", "abcabc", "ca", 1, S, 3},
        {"from skips earlier match", "abcabc", "abc", 2, S, 4},
        {"from below 1 means 1", "abc", "a", -5, S, 1},
        {"from at last byte", "abc", "c", 3, S, 3},
        {"from beyond the end", "abc", "c", 4, S, -1},
        {"empty haystack", "", "a", 1, S, -1},
        {"empty needle in text", "abc", "", 2, S, 1},
        {"empty needle beyond end", "abc", "", 4, S, -1},
        {"empty needle, empty text", "", "", 1, S, -1},
        {"needle longer than rest", "abc", "bcd", 1, S, -1},
        {"case-sensitive miss", "UTF-8", "utf-8", 1, S, -1},
        {"case folding ASCII", "xxUtF-8", "utf-8", 1, I, 3},
        {"no folding beyond ASCII", "\xC1", "\xE1", 1, I, -1},
        // A double-byte character whose trail byte is "A": no match may start on that trail byte.
        {"trail byte is skipped",
         "\xB0"
         "A",
         "A", 1, S, -1},
        {"match after a double-byte char",
         "\xB0"
         "AA",
         "A", 1, S, 3},
        // Counting starts at `from`: starting on a trail byte makes it a character start.
        {"from on a trail byte",
         "\xB0"
         "A",
         "A", 2, S, 2},
        {"double-byte needle", "ab\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, S, 5},
        {"lead byte at the very end", "ab\xB0", "\xB0", 1, S, 3},
        {"lead byte at end steps past", "a\xB0", "x", 1, S, -1},
        {"folded trail byte",
         "\xB0"
         "a"
         "A",
         "a", 1, I, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findText(c.haystack, c.needle, c.from, c.mode), c.expected);
    }
}

TEST(TextPieces, Table) {
    const Text t = "abcdef";
    EXPECT_EQ(leftText(t, 2), "ab");
    EXPECT_EQ(leftText(t, 0), "");
    EXPECT_EQ(leftText(t, -3), "");
    EXPECT_EQ(leftText(t, 99), t);
    EXPECT_EQ(rightText(t, 2), "ef");
    EXPECT_EQ(rightText(t, -1), "");
    EXPECT_EQ(rightText(t, 99), t);
    EXPECT_EQ(midText(t, 2, 3), "bcd");
    EXPECT_EQ(midText(t, 5, 99), "ef");
    EXPECT_EQ(midText(t, 0, 2), "");
    EXPECT_EQ(midText(t, 7, 2), "");
    EXPECT_EQ(midText(t, 2, 0), "");
    EXPECT_EQ(midText(t, 6), "f");
    EXPECT_EQ(midText(t, 7), "");
    EXPECT_EQ(midText("", 1), "");
}

TEST(AsciiCase, OnlyAsciiLettersChange) {
    // 0xB0 0x61 is one double-byte character whose trail byte is "a": it stays as it is.
    EXPECT_EQ(upperAscii("abc\xB0"
                         "a-z"),
              "ABC\xB0"
              "a-Z");
    EXPECT_EQ(lowerAscii("ABC\xB0"
                         "A-Z"),
              "abc\xB0"
              "A-z");
    EXPECT_EQ(upperAscii("a\xB0"), "A\xB0");  // lone lead byte at the end
    EXPECT_EQ(lowerAscii("\xE1\xC1@[`{"), "\xE1\xC1@[`{");
}

TEST(Conversions, TextStopsAtFirstZeroByte) {
    EXPECT_EQ(toText(ByteBuffer{'a', 'b', 0, 'c'}), "ab");
    EXPECT_EQ(toText(ByteBuffer{}), "");
    EXPECT_EQ(toText(ByteBuffer{0, 'a'}), "");
    EXPECT_EQ(toByteBuffer("a\xB0"), (ByteBuffer{'a', 0xB0}));
    EXPECT_TRUE(toByteBuffer("").empty());
}

}  // namespace
}  // namespace crawlerview
