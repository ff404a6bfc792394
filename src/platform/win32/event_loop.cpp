// The processing of pending events on the Win32 message queue of the window thread.
#include "platform/event_loop.hpp"

#include "platform/win32/program_state.hpp"

namespace crawlerview::platform {
namespace {

// Window thread only, like everything they describe.
HWND mainWindow = nullptr;
HWND outputBox = nullptr;
bool ending = false;

bool belongsToMainWindow(HWND target) {
    return mainWindow != nullptr && target != nullptr &&
           (target == mainWindow || IsChild(mainWindow, target));
}

}  // namespace

void noteMainWindow(HWND window, HWND lineBreakEdit) {
    mainWindow = window;
    outputBox = lineBreakEdit;
    ending = false;
}

void noteProgramEnding() {
    ending = true;
    mainWindow = nullptr;
    outputBox = nullptr;
}

bool programEnding() {
    return ending;
}

bool handleDialogKeys(MSG& message) {
    if (!belongsToMainWindow(message.hwnd)) {
        return false;
    }
    if (message.message == WM_KEYDOWN) {
        const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        switch (message.wParam) {
            case VK_ESCAPE:
                // Handled here rather than by the dialog manager: a multi-line edit box would keep
                // Esc for itself.
                SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            case VK_RETURN:
                // There is no default button; only the output box takes Enter, as a line break.
                return message.hwnd != outputBox;
            case VK_TAB:
                if (!control) {
                    // The output box would otherwise take Tab as text; the focus order wins.
                    const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                    SendMessageA(mainWindow, WM_NEXTDLGCTL, backwards ? 1 : 0, FALSE);
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return IsDialogMessageA(mainWindow, &message) != FALSE;
}

bool processPendingEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Back in the queue for the program's own loop, which must still end.
            PostQuitMessage(static_cast<int>(message.wParam));
            return true;
        }
        if (!handleDialogKeys(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return ending;
}

}  // namespace crawlerview::platform
