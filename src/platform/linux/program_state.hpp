// Shared within the Linux back-end: whether the program is ending. The window sets it when the
// main window closes; the processing of pending events reports it, so that a fetch that is still
// waiting gives up at once instead of keeping the program alive until its time-out.
#pragma once

namespace crawlerview::platform {

void noteProgramEnding();
bool programEnding();

}  // namespace crawlerview::platform
