#include <cstdlib>

#include "fetch/url_parts.hpp"

using namespace crawlerview;

// Any bytes: the host never holds the character "/", the path is "/" or starts with "/", and a host
// without its port is a prefix of the host with it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Text url;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0) {
            url.push_back(static_cast<char>(data[i]));
        }
    }
    const Text host = hostOfUrl(url);
    const Text hostAndPort = hostOfUrl(url, true);
    const Text path = pathOfUrl(url);
    (void)portOfUrl(url);
    // A "/" byte may only stand in the host as the second byte of a double-byte character.
    if (findText(host, "/") != kNotFound || findText(hostAndPort, "/") != kNotFound) {
        std::abort();
    }
    if (path.empty() || path[0] != '/') {
        std::abort();
    }
    if (hostAndPort.compare(0, host.size(), host) != 0) {
        std::abort();
    }
    return 0;
}
