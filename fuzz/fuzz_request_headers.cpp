#include <cstdlib>

#include "fetch/request_headers.hpp"
#include "fuzz_input.hpp"

using namespace crawlerview;

// Completion only appends, and the three default lines are always there afterwards.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const Text headers = input.text();
    const Text url = input.text();
    const Text body = input.text();
    const Text completed = completeHeaders(headers, url, body);
    if (completed.compare(0, headers.size(), headers) != 0) {
        std::abort();
    }
    for (const char* name : {"Accept: ", "Referer: ", "Accept-Language: "}) {
        // Byte-wise as well: a text ending in a lone lead byte pairs it with the first appended
        // byte, which hides that line from the character-wise search.
        if (findText(completed, name, 1, CaseMode::IgnoreAscii) == kNotFound &&
            completed.find(name) == Text::npos) {
            std::abort();
        }
    }
    if (!body.empty() && findText(completed, "Content-Length: " + std::to_string(body.size()) +
                                                 "\r\n") == kNotFound) {
        std::abort();
    }
    return 0;
}
