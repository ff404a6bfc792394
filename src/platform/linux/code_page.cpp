// Code pages on ICU. The local code page is GBK (Windows code page 936): the program is made for
// Chinese desktops, and its text must read the same whatever locale the Linux session runs in.
#include "platform/code_page.hpp"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstring>
#include <memory>

namespace crawlerview::platform {
namespace {

constexpr char kLocalConverterName[] = "windows-936";
constexpr UChar32 kReplacementCharacter = 0xFFFD;

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

// Converters are not thread-safe; opening one per call is cheap (ICU caches the tables) and keeps
// every thread independent.
Converter openLocalConverter() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(kLocalConverterName, &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    return converter;
}

// The platform's sizing rule: capacity 0 asks for the size, too small a buffer gives 0.
std::int32_t result(UErrorCode status, std::int32_t produced, std::int32_t capacity) {
    if (capacity == 0) {
        return (U_SUCCESS(status) || status == U_BUFFER_OVERFLOW_ERROR) ? produced : 0;
    }
    if (U_FAILURE(status) || produced > capacity) {
        return 0;
    }
    return produced;
}

}  // namespace

std::int32_t multiByteToWide(std::uint32_t codePage, const char* bytes, std::int32_t length,
                             char16_t* out, std::int32_t capacity) {
    if (bytes == nullptr || length < -1 || capacity < 0 || (capacity > 0 && out == nullptr)) {
        return 0;
    }
    if (length == -1) {
        length = static_cast<std::int32_t>(std::strlen(bytes)) + 1;
    }
    if (length == 0) {
        return 0;
    }
    auto* dest = capacity == 0 ? nullptr : reinterpret_cast<UChar*>(out);
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t produced = 0;
    if (codePage == kUtf8CodePage) {
        u_strFromUTF8WithSub(dest, capacity, &produced, bytes, length, kReplacementCharacter,
                             nullptr, &status);
    } else if (codePage == kLocalCodePage) {
        const Converter converter = openLocalConverter();
        if (!converter) {
            return 0;
        }
        produced = ucnv_toUChars(converter.get(), dest, capacity, bytes, length, &status);
    } else {
        return 0;
    }
    return result(status == U_STRING_NOT_TERMINATED_WARNING ? U_ZERO_ERROR : status, produced,
                  capacity);
}

std::int32_t wideToMultiByte(std::uint32_t codePage, const char16_t* wide, std::int32_t length,
                             char* out, std::int32_t capacity) {
    if (wide == nullptr || length < -1 || capacity < 0 || (capacity > 0 && out == nullptr)) {
        return 0;
    }
    const auto* source = reinterpret_cast<const UChar*>(wide);
    if (length == -1) {
        length = u_strlen(source) + 1;
    }
    if (length == 0) {
        return 0;
    }
    char* dest = capacity == 0 ? nullptr : out;
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t produced = 0;
    if (codePage == kUtf8CodePage) {
        u_strToUTF8WithSub(dest, capacity, &produced, source, length, kReplacementCharacter,
                           nullptr, &status);
    } else if (codePage == kLocalCodePage) {
        const Converter converter = openLocalConverter();
        if (!converter) {
            return 0;
        }
        produced = ucnv_fromUChars(converter.get(), dest, capacity, source, length, &status);
    } else {
        return 0;
    }
    return result(status == U_STRING_NOT_TERMINATED_WARNING ? U_ZERO_ERROR : status, produced,
                  capacity);
}

}  // namespace crawlerview::platform
