// Re-decoding a page that is really UTF-8 into the local code page, so that it reads correctly.
#pragma once

#include <string>

#include "text/text.hpp"

namespace crawlerview {

// Decodes UTF-8 bytes and encodes the result in the local code page. Invalid UTF-8 becomes
// replacement characters and characters that the code page lacks become "?": it never fails.
// The result ends at the first zero byte that the input decodes to.
Text utf8ToLocal(const ByteBuffer& utf8);

// Encodes UTF-16 code units, up to the first zero unit or the end, in the local code page.
Text widenedToLocal(const std::u16string& wide);

}  // namespace crawlerview
