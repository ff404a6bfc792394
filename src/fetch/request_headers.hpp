// The header lines every request carries besides the caller's own.
#pragma once

#include "text/text.hpp"

namespace crawlerview {

// Appends to `headers` the default Accept, Referer (the URL as given) and Accept-Language lines
// that it does not already hold (a case-insensitive search anywhere in the text), and, for a
// non-empty POST body, a Content-Type line when missing and always a Content-Length line.
// Only appends: the caller's text comes back unchanged at the front.
Text completeHeaders(const Text& headers, const Text& url, const Text& body = {});

}  // namespace crawlerview
