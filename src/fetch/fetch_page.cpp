// Placeholder until the fetch lands: every fetch fails, so the program links and runs meanwhile.
#include "fetch/fetch_page.hpp"

namespace crawlerview {
ByteBuffer fetchPage(const FetchRequest&) { return {}; }
}  // namespace crawlerview
