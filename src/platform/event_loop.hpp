// Seam: the window runtime's processing of pending events. Back-ends: */event_loop.cpp.
#pragma once

namespace crawlerview::platform {

// Dispatches, in order, every event already waiting for the window thread until none is left,
// running the window's handlers (the Visit button's included) for those among them. Never waits.
// Stops at a quit request and leaves it in place, so that the program's own loop still ends.
// Returns true when the program is ending (a quit request is pending, the main window has been
// closed), so that a caller waiting on a fetch can give up at once. Window thread only; without a
// window runtime in the process it does nothing and returns false.
bool processPendingEvents();

}  // namespace crawlerview::platform
