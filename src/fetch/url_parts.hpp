// Taking a typed URL apart into the host to connect to, the port and the path to request.
// Plain text search, no general URL parser: only "http://" is recognised, nothing is decoded,
// and unusual input is taken apart by the same search rules as ordinary input.
#pragma once

#include <cstdint>

#include "text/text.hpp"

namespace crawlerview {

// The host part after the first "http://" (or from the start), up to the first "/", lower-cased
// (ASCII letters only); without its ":port" unless keepPort is set.
Text hostOfUrl(const Text& url, bool keepPort = false);

// The number after the first ":" of the host part, truncated toward zero; 80 when there is no
// ":". Text that does not start with a number, or a number that does not fit in 32 bits, gives 0.
std::int32_t portOfUrl(const Text& url);

// Everything from the first "/" at or after the host, as typed; "/" when there is none.
Text pathOfUrl(const Text& url);

}  // namespace crawlerview
