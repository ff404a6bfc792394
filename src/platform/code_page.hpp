// Seam: the platform's code-page conversions (MultiByteToWideChar and WideCharToMultiByte).
// Back-ends: linux/code_page.cpp (ICU, with GBK as the local code page, since the program is made
// for Chinese desktops) and win32/code_page.cpp (the Windows API with the system ANSI code page).
// Both are safe to call from any thread.
#pragma once

#include <cstdint>

namespace crawlerview::platform {

inline constexpr std::uint32_t kLocalCodePage = 0;  // CP_ACP: the system ANSI code page
inline constexpr std::uint32_t kUtf8CodePage = 65001;

// Decodes `length` bytes of `bytes` (length -1: up to and including the first zero byte) from
// `codePage` into UTF-16. With `capacity` 0 nothing is written and the number of code units the
// whole input needs is returned. Otherwise writes at most `capacity` units to `out` and returns
// how many were written, or 0 when they do not fit (the content of `out` is then unspecified).
// Bytes that are not valid in the code page become U+FFFD. 0 also for an unknown code page.
std::int32_t multiByteToWide(std::uint32_t codePage, const char* bytes, std::int32_t length,
                             char16_t* out, std::int32_t capacity);

// Encodes `length` UTF-16 units of `wide` (length -1: up to and including the first zero unit)
// into `codePage`. Same sizing and failure rules as multiByteToWide, counted in bytes. Characters
// the code page cannot represent become "?".
std::int32_t wideToMultiByte(std::uint32_t codePage, const char16_t* wide, std::int32_t length,
                             char* out, std::int32_t capacity);

}  // namespace crawlerview::platform
