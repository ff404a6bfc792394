#include <cstdlib>

#include "fetch/cookie_store.hpp"
#include "fuzz_input.hpp"

using namespace crawlerview;

namespace {

// Checks every stored cookie as it arrives: the bare host's URL, a name without "=", and no more
// cookies than lines.
struct CheckingStore final : CookieStore {
    Text expectedUrl;
    std::size_t stored = 0;
    void setCookie(const Text& url, const Text& name, const Text& data) override {
        ++stored;
        if (url != expectedUrl || name.find('=') != Text::npos || name.find('\n') != Text::npos ||
            data.find('\n') != Text::npos) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const Text host = input.text();
    const Text headers = input.text();
    CheckingStore store;
    store.expectedUrl = "http://" + host;
    storeResponseCookies(headers, host, store);
    std::size_t lines = 1;
    for (char c : headers) {
        lines += c == '\n' ? 1 : 0;
    }
    if (store.stored > lines) {
        std::abort();
    }
    return 0;
}
