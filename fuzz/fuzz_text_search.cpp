#include <cstdlib>

#include "fuzz_input.hpp"
#include "text/text.hpp"

using namespace crawlerview;

// A found position is a character start counted from `from`, at or after it, where the needle
// really stands; nothing is found beyond the end.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const auto mode = (input.byte() & 1) ? CaseMode::IgnoreAscii : CaseMode::Sensitive;
    const TextPos from = static_cast<std::int8_t>(input.byte());
    const Text needle = input.text();
    const Text haystack = input.text();

    const TextPos found = findText(haystack, needle, from, mode);
    const TextPos start = from < 1 ? 1 : from;
    const auto length = static_cast<TextPos>(haystack.size());
    if (found == kNotFound) {
        return 0;
    }
    if (needle.empty()) {
        if (found != 1 || start > length) {
            std::abort();
        }
        return 0;
    }
    if (found < start || found + static_cast<TextPos>(needle.size()) - 1 > length) {
        std::abort();
    }
    TextPos at = start;
    while (at < found) {
        at +=
            static_cast<unsigned char>(haystack[static_cast<std::size_t>(at - 1)]) >= 0x80 ? 2 : 1;
    }
    if (at != found) {
        std::abort();
    }
    for (std::size_t i = 0; i < needle.size(); ++i) {
        auto a = static_cast<unsigned char>(haystack[static_cast<std::size_t>(found - 1) + i]);
        auto b = static_cast<unsigned char>(needle[i]);
        if (mode == CaseMode::IgnoreAscii) {
            a = static_cast<unsigned char>((a >= 'A' && a <= 'Z') ? a + 32 : a);
            b = static_cast<unsigned char>((b >= 'A' && b <= 'Z') ? b + 32 : b);
        }
        if (a != b) {
            std::abort();
        }
    }
    return 0;
}
