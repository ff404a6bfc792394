// The reply's body goes through the channel once in each direction, starting from the worker's
// own buffer. Reports, besides the time, how many copies of the body the round trip allocates
// (bytes allocated / body size, the worker's buffer included) and the time of one plain copy of
// the body for scale.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "fetch/fetch_channel.hpp"

namespace {

std::atomic<std::size_t> allocatedBytes{0};

}  // namespace

void* operator new(std::size_t size) {
    allocatedBytes += size;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr std::size_t kBodySize = 64u << 20;

void BM_ChannelRoundTrip(benchmark::State& state) {
    const crawlerview::ByteBuffer body(kBodySize, 0x5A);
    double copies = 0;
    for (auto _ : state) {
        const std::size_t before = allocatedBytes;
        crawlerview::FetchChannel channel;
        crawlerview::ByteBuffer received(body);  // what the worker has read from the network
        crawlerview::writeReplyRecord(channel, "HTTP/1.1 200 OK\r\n\r\n", std::move(received));
        auto reply = crawlerview::takeReplyRecord(channel);
        channel.close();
        benchmark::DoNotOptimize(reply.body.data());
        copies = static_cast<double>(allocatedBytes - before) / kBodySize;
    }
    state.counters["body_copies"] = copies;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_ChannelRoundTrip)->Unit(benchmark::kMillisecond);

void BM_OnePlainCopy(benchmark::State& state) {
    const crawlerview::ByteBuffer body(kBodySize, 0x5A);
    for (auto _ : state) {
        crawlerview::ByteBuffer copy(body);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_OnePlainCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
