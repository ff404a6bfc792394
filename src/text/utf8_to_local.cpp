#include "text/utf8_to_local.hpp"

#include <cstring>
#include <limits>

#include "platform/code_page.hpp"

namespace crawlerview {

Text utf8ToLocal(const ByteBuffer& utf8) {
    // A last byte below 127 gets a zero byte after it, so that the decoded text is terminated.
    // Decoding the input and then adding a zero unit gives the same units as decoding a copy with
    // the zero byte appended (an ASCII last byte ends every sequence), without copying the input.
    const bool terminate = utf8.empty() || utf8.back() < 127;
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return {};  // beyond what the platform's conversion counts; far beyond any page we keep
    }
    const auto* bytes = reinterpret_cast<const char*>(utf8.data());
    const auto length = static_cast<std::int32_t>(utf8.size());

    std::int32_t units = 0;
    if (length > 0) {
        units = platform::multiByteToWide(platform::kUtf8CodePage, bytes, length, nullptr, 0);
    }
    // Zero-filled, and std::u16string always keeps a zero unit after its end, so the encoding in
    // widenedToLocal can never read past the decoded data, terminated or not.
    std::u16string wide(static_cast<std::size_t>(units) + (terminate ? 1 : 0), u'\0');
    if (units > 0) {
        platform::multiByteToWide(platform::kUtf8CodePage, bytes, length, wide.data(), units);
    }
    return widenedToLocal(wide);
}

Text widenedToLocal(const std::u16string& wide) {
    const std::size_t m = 2 * wide.size();
    if (m + 1 > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return {};
    }
    // Two bytes per unit hold any text in a double-byte code page; the extra byte holds the
    // terminator of a text that did not carry its own zero unit.
    auto capacity = static_cast<std::int32_t>(m + 1);
    Text out(static_cast<std::size_t>(capacity), ' ');
    if (platform::wideToMultiByte(platform::kLocalCodePage, wide.c_str(), -1, out.data(),
                                  capacity) == 0) {
        // Only a code page with wider characters (a UTF-8 system code page) gets here.
        capacity =
            platform::wideToMultiByte(platform::kLocalCodePage, wide.c_str(), -1, nullptr, 0);
        out.assign(static_cast<std::size_t>(capacity), ' ');
        if (capacity == 0 || platform::wideToMultiByte(platform::kLocalCodePage, wide.c_str(), -1,
                                                       out.data(), capacity) == 0) {
            return {};
        }
    }
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace crawlerview
