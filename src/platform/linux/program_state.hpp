// Shared within the Linux back-end: whether the program is ending. The window sets it when the
// main window closes; the processing of pending events reports it, so that a fetch that is still
// waiting gives up at once instead of keeping the program alive until its time-out.
#pragma once

namespace crawlerview::platform {

void noteProgramEnding();
bool programEnding();

// Makes a quit request of the Qt application count as the program ending. Idempotent; does
// nothing off the application's thread or without an application.
void watchForQuit();

}  // namespace crawlerview::platform
