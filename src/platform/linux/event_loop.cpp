// Placeholder until the Qt event loop lands.
#include "platform/event_loop.hpp"

namespace crawlerview::platform {
bool processPendingEvents() {
    return false;
}
}  // namespace crawlerview::platform
