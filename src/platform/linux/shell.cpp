// Placeholder until the shell lands.
#include "platform/shell.hpp"

namespace crawlerview::platform {
bool openAddress(const Text&) {
    return false;
}
}  // namespace crawlerview::platform
