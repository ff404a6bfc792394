#include <cstdlib>

#include "text/utf8_to_local.hpp"

using namespace crawlerview;

// Any bytes convert without failing; the result holds no zero byte, and zero-free ASCII comes
// back unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteBuffer input(data, data + size);
    const Text local = utf8ToLocal(input);
    if (local.find('\0') != Text::npos) {
        std::abort();
    }
    bool plainAscii = true;
    for (auto byte : input) {
        plainAscii = plainAscii && byte != 0 && byte < 0x80;
    }
    if (plainAscii && local != Text(input.begin(), input.end())) {
        std::abort();
    }
    return 0;
}
