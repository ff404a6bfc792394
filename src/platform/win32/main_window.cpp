// The main window on Win32: an ordinary top-level window of standard EDIT, BUTTON and STATIC
// controls, built from the shared design with the ANSI functions, so that every control text is
// local-code-page bytes exactly like Text. The dialog manager's keyboard handling (IsDialogMessage)
// gives it Tab, Shift+Tab, the radio group's arrow keys and Esc.
#include "platform/main_window.hpp"

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

#include "platform/event_loop.hpp"
#include "platform/shell.hpp"
#include "platform/win32/program_state.hpp"
#include "text/utf8_to_local.hpp"
#include "visit/visit_command.hpp"

namespace crawlerview::platform {
namespace {

constexpr char kWindowClass[] = "CrawlerViewMainWindow";
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL, which the dialog keys send
constexpr int kIconResource = 1;
constexpr std::size_t kControlCount = static_cast<std::size_t>(ControlName::超级链接框1) + 1;

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kLinkHotColour = RGB(128, 128, 128);
constexpr COLORREF kLinkVisitedColour = RGB(128, 0, 0);

COLORREF colourRef(Rgb colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

std::size_t indexOf(ControlName name) {
    return static_cast<std::size_t>(name);
}

// The one main window of the process. Window thread only.
struct WindowState {
    HWND window = nullptr;
    std::array<HWND, kControlCount> controls{};
    bool open = false;
    bool linkHot = false;
    bool linkVisited = false;
    WNDPROC staticProc = nullptr;
    HWND focusBeforeDeactivation = nullptr;
};
WindowState state;

HWND control(ControlName name) {
    return state.controls[indexOf(name)];
}

Text localText(std::u8string_view utf8) {
    return utf8ToLocal(ByteBuffer(utf8.begin(), utf8.end()));
}

class Win32Controls final : public MainWindowControls {
  public:
    std::int32_t checkedState(ControlName radioButton) const override {
        if (!state.open) {
            return 0;
        }
        return SendMessageA(control(radioButton), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }

    Text text(ControlName editBox) const override {
        if (!state.open) {
            return {};
        }
        HWND box = control(editBox);
        // An edit box keeps its text as UTF-16: bytes that are no valid GBK (a UTF-8 page shown
        // as GBK is full of them) would come back as "?". While the box still shows what
        // setText put there, those very bytes are its content.
        Written& last = written_[indexOf(editBox)];
        if (last.valid && wideText(box) == last.shown) {
            return last.bytes;
        }
        // The length may be an over-estimate with double-byte text; the copy count is exact.
        const int length = GetWindowTextLengthA(box);
        if (length <= 0) {
            return {};
        }
        Text content(static_cast<std::size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(box, content.data(), length + 1);
        content.resize(static_cast<std::size_t>(copied < 0 ? 0 : copied));
        return content;
    }

    void setText(ControlName editBox, const Text& text) override {
        if (!state.open) {
            return;
        }
        HWND box = control(editBox);
        Written& last = written_[indexOf(editBox)];
        last.valid = SetWindowTextA(box, text.c_str()) != FALSE;
        if (last.valid) {
            last.bytes = text;
            last.shown = wideText(box);
        }
    }

    bool isOpen() const override { return state.open; }

    void processPendingEvents() override { platform::processPendingEvents(); }

    // Forgets what was written, for a new window.
    void reset() { written_ = {}; }

  private:
    struct Written {
        bool valid = false;
        Text bytes;          // as setText received them
        std::wstring shown;  // as the box holds them
    };

    static std::wstring wideText(HWND box) {
        const int length = GetWindowTextLengthW(box);
        std::wstring content(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const int copied = GetWindowTextW(box, content.data(), length + 1);
        content.resize(static_cast<std::size_t>(copied < 0 ? 0 : copied));
        return content;
    }

    mutable std::array<Written, kControlCount> written_;
};

Text linkAddress() {
    const Text target = localText(windowDesign().linkTarget);
    if (target.empty()) {
        return {};
    }
    // The guide sits beside the program.
    Text path(MAX_PATH, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return target;
    }
    path.resize(length);
    const auto slash = path.find_last_of("\\/");
    return (slash == Text::npos ? Text() : path.substr(0, slash + 1)) + target;
}

// The hyperlink label: a STATIC control whose pointer, hover and click this procedure adds.
LRESULT CALLBACK linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
            return TRUE;
        case WM_MOUSEMOVE:
            if (!state.linkHot) {
                state.linkHot = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, link, 0};
                TrackMouseEvent(&track);
                InvalidateRect(link, nullptr, TRUE);
            }
            break;
        case WM_MOUSELEAVE:
            state.linkHot = false;
            InvalidateRect(link, nullptr, TRUE);
            break;
        case WM_LBUTTONDOWN:
            if (openAddress(linkAddress())) {
                state.linkVisited = true;
                InvalidateRect(link, nullptr, TRUE);
            }
            return 0;
        default:
            break;
    }
    return CallWindowProcA(state.staticProc, link, message, wParam, lParam);
}

// The colours of a radio button or the hyperlink label, on the button-face background.
LRESULT colourControl(HWND child, HDC dc) {
    for (const ControlDesign& design : windowDesign().controls) {
        if (control(design.name) != child) {
            continue;
        }
        COLORREF colour = colourRef(design.textColour);
        if (design.kind == ControlKind::HyperLinker) {
            const LinkColours& link = windowDesign().linkColours;
            colour = colourRef(state.linkHot       ? link.hover
                               : state.linkVisited ? link.visited
                                                   : link.normal);
        }
        SetTextColor(dc, colour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return 0;
}

void moveFocus(HWND target) {
    if (target == nullptr) {
        return;
    }
    SetFocus(target);
    char className[16] = {};
    GetClassNameA(target, className, sizeof className);
    if (lstrcmpiA(className, "Edit") == 0) {
        SendMessageA(target, EM_SETSEL, 0, -1);  // as a dialog does when tabbing into an edit box
    }
}

Win32Controls& controls() {
    static Win32Controls instance;
    return instance;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:  // Esc
                    DestroyWindow(window);
                    return 0;
                case kFirstControlId + static_cast<int>(ControlName::按钮1):
                    if (HIWORD(wParam) == BN_CLICKED) {
                        VisitCommand(controls());
                    }
                    return 0;
                default:
                    return 0;
            }
        case WM_NEXTDLGCTL: {
            // What a dialog box does for the dialog manager's Tab, here for an ordinary window.
            HWND next = lParam != 0 ? reinterpret_cast<HWND>(wParam)
                                    : GetNextDlgTabItem(window, GetFocus(), wParam != 0);
            moveFocus(next);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (const LRESULT brush =
                    colourControl(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))) {
                return brush;
            }
            break;
        case WM_ACTIVATE:
            // Like a dialog, the window gives the focus back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                state.focusBeforeDeactivation = IsChild(window, focus) ? focus : nullptr;
            } else {
                SetFocus(state.focusBeforeDeactivation != nullptr ? state.focusBeforeDeactivation
                                                                  : control(ControlName::编辑框1));
                return 0;
            }
            break;
        case WM_DESTROY:
            state.open = false;
            noteProgramEnding();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct ControlClass {
    const char* className;
    DWORD style;
    DWORD extendedStyle;
};

ControlClass controlClass(const ControlDesign& design, bool firstRadio) {
    const DWORD common = WS_CHILD | WS_VISIBLE | (design.tabStop ? WS_TABSTOP : 0);
    switch (design.kind) {
        case ControlKind::EditBox:
            if (design.multiLine) {
                // Lines wrap at the box's width: a vertical scroll bar only.
                return {"EDIT",
                        common | WS_GROUP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL |
                            ES_WANTRETURN,
                        WS_EX_CLIENTEDGE};
            }
            return {"EDIT", common | WS_GROUP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {"BUTTON", common | WS_GROUP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 0};
        case ControlKind::RadioBox:
            // One group from the first radio button to the next control that starts a group.
            return {"BUTTON",
                    common | (firstRadio ? WS_GROUP : 0) | BS_AUTORADIOBUTTON | BS_VCENTER, 0};
        case ControlKind::HyperLinker:
            return {"STATIC",
                    common | WS_GROUP | SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY | SS_NOPREFIX, 0};
    }
    return {"STATIC", common, 0};
}

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MainWindowControls& mainWindowControls() {
    return controls();
}

HWND controlWindow(ControlName name) {
    return state.open ? control(name) : nullptr;
}

HWND createMainWindow() {
    if (state.open) {
        return state.window;  // one window per process
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registerWindowClass(instance)) {
        return nullptr;
    }
    const WindowDesign& design = windowDesign();
    const int left = (GetSystemMetrics(SM_CXSCREEN) - design.outerWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - design.outerHeight) / 2;
    // A fixed border: no WS_THICKFRAME and no maximise box.
    HWND window =
        CreateWindowExA(0, kWindowClass, localText(design.title).c_str(),
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, left, top,
                        design.outerWidth, design.outerHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    state = WindowState{};
    state.window = window;
    controls().reset();
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    bool radioSeen = false;
    for (const ControlDesign& item : design.controls) {
        const ControlClass kind =
            controlClass(item, item.kind == ControlKind::RadioBox && !radioSeen);
        radioSeen = radioSeen || item.kind == ControlKind::RadioBox;
        HWND child = CreateWindowExA(
            kind.extendedStyle, kind.className, localText(item.caption).c_str(), kind.style,
            item.left, item.top, item.width, item.height, window,
            reinterpret_cast<HMENU>(
                static_cast<INT_PTR>(kFirstControlId + static_cast<int>(item.name))),
            instance, nullptr);
        if (child == nullptr) {
            DestroyWindow(window);
            return nullptr;
        }
        state.controls[indexOf(item.name)] = child;
        SendMessageA(child, WM_SETFONT, font, FALSE);
        if (item.kind == ControlKind::EditBox) {
            SendMessageA(child, EM_SETLIMITTEXT, 0, 0);  // 0: as much as the control can hold
        }
        if (item.kind == ControlKind::RadioBox && item.checkedAtStart) {
            SendMessageA(child, BM_SETCHECK, BST_CHECKED, 0);
        }
        if (item.kind == ControlKind::HyperLinker) {
            state.staticProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(linkProc)));
        }
    }
    state.open = true;
    noteMainWindow(window, control(ControlName::编辑框2));
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(control(ControlName::编辑框1));
    return window;
}

int runMainWindow(int, char**) {
    if (createMainWindow() == nullptr) {
        return 1;  // the window runtime failed; there is nothing to show
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!handleDialogKeys(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}

}  // namespace crawlerview::platform
