// Placeholder until the window lands.
#include "platform/main_window.hpp"

#include <cstdio>

namespace crawlerview::platform {
int runMainWindow(int, char**) {
    std::puts("CrawlerView is built, but its window is not there yet.");
    return 0;
}
}  // namespace crawlerview::platform
