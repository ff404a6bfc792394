// The body of a fetch's worker thread: one HTTP exchange, from the request record in the channel
// to the reply record in it, and the response's cookies into the cookie store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fetch/cookie_store.hpp"
#include "fetch/fetch_channel.hpp"
#include "platform/http_client.hpp"

namespace crawlerview {

// The largest body a worker keeps. A longer one (a server that never stops sending) makes the
// exchange fail like a broken connection: result 0, no reply.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{256} * 1024 * 1024;

// 1 when the exchange ran to its end and the reply was written, 0 otherwise. Uses the process's
// HTTP client and cookie store.
std::int32_t HttpWorker(std::shared_ptr<FetchChannel> channel);

// The same against a given client and store (tests use recording fakes).
std::int32_t HttpWorker(FetchChannel* channel, platform::HttpClient& client, CookieStore& cookies);

// True when something is left of `text` after every half-width blank (0x20) and every
// full-width blank (A1 A1) has been removed.
bool isPresent(const Text& text);

}  // namespace crawlerview
