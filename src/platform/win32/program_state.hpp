// Shared within the Windows back-end: the main window as the message loops see it. The window
// notes itself here when it is created and when it is destroyed; the program's own loop and the
// processing of pending events both let it give keys their dialog meaning (Tab, arrows, Esc), and
// a fetch that is still waiting learns from it that the program is ending.
#pragma once

#include <windows.h>

#include "platform/main_window.hpp"

namespace crawlerview::platform {

// The main window and its output box (the one control in which Enter means a line break).
void noteMainWindow(HWND window, HWND lineBreakEdit);
// The main window has been destroyed.
void noteProgramEnding();
bool programEnding();

// Gives a key message meant for the main window or one of its controls its dialog meaning. True
// when the message has been handled and must not be dispatched again.
bool handleDialogKeys(MSG& message);

// Creates the main window and its controls and shows it, as the start-up does, without running a
// loop (the tests drive it message by message). Null when the window could not be created.
HWND createMainWindow();
// A control of the main window, null before it exists.
HWND controlWindow(ControlName name);
// The controls as the Visit command sees them.
MainWindowControls& mainWindowControls();

}  // namespace crawlerview::platform
