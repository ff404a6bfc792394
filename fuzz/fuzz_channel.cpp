#include <cstdlib>
#include <variant>
#include <vector>

#include "fetch/fetch_channel.hpp"
#include "fuzz_input.hpp"

using namespace crawlerview;

// Random items written in order read back identical, whatever mix of types, empties and zero
// bytes; reading on past the end gives empty items.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    std::vector<std::variant<Text, ByteBuffer>> items;
    FetchChannel channel;
    while (!input.empty()) {
        const std::uint8_t kind = input.byte();
        if (kind & 1) {
            Text t = input.text();
            channel.write(t);
            items.emplace_back(std::move(t));
        } else {
            ByteBuffer b(kind / 2);
            for (auto& byte : b) {
                byte = input.byte();
            }
            channel.write(b);
            items.emplace_back(std::move(b));
        }
    }
    channel.rewind();
    for (const auto& item : items) {
        if (const auto* t = std::get_if<Text>(&item)) {
            if (channel.readText() != *t) {
                std::abort();
            }
        } else if (channel.readBytes() != std::get<ByteBuffer>(item)) {
            std::abort();
        }
    }
    if (!channel.readText().empty() || !channel.readBytes().empty()) {
        std::abort();
    }
    return 0;
}
