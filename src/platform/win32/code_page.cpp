// Code pages on the Windows API. The local code page is the system ANSI code page (CP_ACP): 936,
// GBK, on the Chinese desktops the program is made for.
#include "platform/code_page.hpp"

#include <windows.h>

namespace crawlerview::platform {
namespace {

// Only the two code pages the program uses, so that both back-ends answer alike for any other.
bool knownCodePage(std::uint32_t codePage) {
    return codePage == kLocalCodePage || codePage == kUtf8CodePage;
}

}  // namespace

std::int32_t multiByteToWide(std::uint32_t codePage, const char* bytes, std::int32_t length,
                             char16_t* out, std::int32_t capacity) {
    if (!knownCodePage(codePage) || bytes == nullptr || length < -1 || length == 0 ||
        capacity < 0 || (capacity > 0 && out == nullptr)) {
        return 0;
    }
    // Without MB_ERR_INVALID_CHARS, malformed UTF-8 becomes U+FFFD.
    return MultiByteToWideChar(codePage, 0, bytes, length,
                               capacity == 0 ? nullptr : reinterpret_cast<wchar_t*>(out), capacity);
}

std::int32_t wideToMultiByte(std::uint32_t codePage, const char16_t* wide, std::int32_t length,
                             char* out, std::int32_t capacity) {
    if (!knownCodePage(codePage) || wide == nullptr || length < -1 || length == 0 || capacity < 0 ||
        (capacity > 0 && out == nullptr)) {
        return 0;
    }
    // The ANSI code pages' default character is "?"; UTF-8 takes no default character at all.
    return WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(wide), length,
                               capacity == 0 ? nullptr : out, capacity, nullptr, nullptr);
}

}  // namespace crawlerview::platform
