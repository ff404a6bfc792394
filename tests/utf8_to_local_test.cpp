#include "text/utf8_to_local.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace crawlerview {
namespace {

ByteBuffer bytesOf(const std::string& s) {
    return ByteBuffer(s.begin(), s.end());
}

ByteBuffer readFixture(const char* name) {
    std::ifstream in(std::string(CRAWLERVIEW_FIXTURES) + "/" + name, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool onlyQuestionMarks(const Text& t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c == '?'; });
}

TEST(Utf8ToLocal, ExactResults) {
    struct Case {
        const char* name;
        std::string utf8;
        Text expected;
    };
    const Case cases[] = {
        {"ASCII gets its terminator", "abc", "abc"},
        {"empty", "", ""},
        {"Chinese", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
        // The last byte is a continuation byte, so nothing is appended to the input: the text is
        // still converted whole.
        {"ends in a multi-byte character", "ab\xE4\xB8\xAD", "ab\xD6\xD0"},
        {"full-width forms", "\xEF\xBC\xA1\xEF\xBC\x91", "\xA3\xC1\xA3\xB1"},
        {"DEL as last byte", "ab\x7F", "ab\x7F"},
        {"stops at a zero byte", std::string("ab\0cd", 5), "ab"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"stray continuation byte",
         "a\x80"
         "b",
         "a?b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToLocal(bytesOf(c.utf8)), c.expected);
    }
}

TEST(Utf8ToLocal, InvalidInputBecomesReplacementCharacters) {
    // How many replacement characters a bad sequence gives is the platform's rule; what holds
    // everywhere is that the bad bytes do not survive and the good ones around them do.
    const char* bad[] = {
        "\xC3",              // truncated at the end
        "\xE4\xB8",          // truncated three-byte sequence
        "\xC0\xAF",          // overlong "/"
        "\xED\xA0\x80",      // UTF-16 surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xD6\xD0\xCE\xC4",  // text that already is GBK
        "\xF0\x9F\x98\x80",  // valid, but no GBK character for it
    };
    for (const char* b : bad) {
        SCOPED_TRACE(testing::PrintToString(std::string(b)));
        EXPECT_TRUE(onlyQuestionMarks(utf8ToLocal(bytesOf(b))));
        const Text around = utf8ToLocal(bytesOf(std::string("<") + b + ">"));
        ASSERT_GE(around.size(), 3u);
        EXPECT_EQ(around.front(), '<');
        EXPECT_EQ(around.back(), '>');
        EXPECT_TRUE(onlyQuestionMarks(around.substr(1, around.size() - 2)));
    }
}

TEST(Utf8ToLocal, ChinesePageMatchesAnIndependentConverter) {
    // page-gbk.html is page-utf8.html converted by iconv.
    const ByteBuffer utf8 = readFixture("page-utf8.html");
    const ByteBuffer gbk = readFixture("page-gbk.html");
    ASSERT_GT(utf8.size(), 2000u);
    ASSERT_GT(gbk.size(), 1500u);
    EXPECT_EQ(toByteBuffer(utf8ToLocal(utf8)), gbk);
    // Cut after the page's last Chinese character, so that the input ends in a multi-byte
    // character and gets no terminator appended.
    ByteBuffer trimmed = utf8;
    while (!trimmed.empty() && trimmed.back() < 0x80) {
        trimmed.pop_back();
    }
    ASSERT_GT(trimmed.size(), 2000u);
    const Text converted = utf8ToLocal(trimmed);
    const Text expected(gbk.begin(), gbk.begin() + static_cast<std::ptrdiff_t>(converted.size()));
    EXPECT_EQ(converted, expected);
    EXPECT_GE(converted.back() & 0xFF, 0x80);
}

TEST(WidenedToLocal, WithAndWithoutTerminator) {
    EXPECT_EQ(widenedToLocal(u"\u4E2D\u6587"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(widenedToLocal(std::u16string(u"\u4E2D\0x", 3)), "\xD6\xD0");
    EXPECT_EQ(widenedToLocal(std::u16string(u"\0", 1)), "");
    EXPECT_EQ(widenedToLocal(u""), "");
}

}  // namespace
}  // namespace crawlerview
