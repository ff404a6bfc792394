// Placeholder until the Qt event loop lands.
#include "platform/event_loop.hpp"
#include "platform/linux/program_state.hpp"

namespace crawlerview::platform {
namespace {
bool ending = false;
}  // namespace
bool processPendingEvents() { return ending; }
void noteProgramEnding() { ending = true; }
bool programEnding() { return ending; }
}  // namespace crawlerview::platform
