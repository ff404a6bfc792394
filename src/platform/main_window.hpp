// Seam: the main window as the Visit command sees it, and the start-up that shows it.
// Back-ends: linux/main_window.cpp (Qt 6 Widgets) and win32/main_window.cpp (Win32 controls).
#pragma once

#include <cstdint>

#include "app/window_design.hpp"
#include "text/text.hpp"

namespace crawlerview {

// The controls' properties that the Visit command reads and writes. Window thread only.
class MainWindowControls {
  public:
    virtual ~MainWindowControls() = default;

    // 1 when the radio button is checked, else 0.
    virtual std::int32_t checkedState(ControlName radioButton) const = 0;
    // The complete current content of an edit box, in the local code page.
    virtual Text text(ControlName editBox) const = 0;
    // Replaces the content of an edit box verbatim: no line-end conversion, no length cap.
    virtual void setText(ControlName editBox, const Text& text) = 0;
    // False once the window has been closed; the controls must not be touched after that.
    virtual bool isOpen() const = 0;
    // The window runtime's processing of pending events (event_loop.hpp).
    virtual void processPendingEvents() = 0;
};

namespace platform {

// Start-up: creates the main window from windowDesign() hidden, creates its controls in order,
// shows it centred with the focus in the URL box, wires the Visit button to VisitCommand and runs
// the message loop until the window has been closed. Returns the program's exit code, 0.
int runMainWindow(int argc, char** argv);

}  // namespace platform
}  // namespace crawlerview
