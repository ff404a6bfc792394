// The Win32 main window in this process, driven message by message through the same processing of
// pending events that a waiting fetch uses. Needs a display (scripts/test-windows runs it under
// Xvfb); the visits go to nginx (CRAWLERVIEW_NGINX_URL) and to a silent Winsock server.
#include "tests/win32/loopback.hpp"  // winsock2.h before windows.h
// After winsock2.h.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/event_loop.hpp"
#include "platform/win32/program_state.hpp"

namespace crawlerview {
namespace {

using enum ControlName;
using platform::controlWindow;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = platform::createMainWindow();
        ASSERT_NE(window_, nullptr);
        platform::processPendingEvents();
    }
    void TearDown() override {
        if (IsWindow(window_)) {
            DestroyWindow(window_);
        }
        // The destroyed window leaves a quit request behind; it belongs to this test alone.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        setShift(false);
        // The next test starts as a new program would: no window, nothing ending.
        platform::noteMainWindow(nullptr, nullptr);
    }

    // A key as the user types it: queued for the focused control, then processed.
    static void press(WPARAM key, HWND target = GetFocus()) {
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        platform::processPendingEvents();
    }
    static void setShift(bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    static std::int32_t checked(ControlName name) {
        return platform::mainWindowControls().checkedState(name);
    }
    static Text text(ControlName name) { return platform::mainWindowControls().text(name); }
    static void setText(ControlName name, const Text& value) {
        platform::mainWindowControls().setText(name, value);
    }

    HWND window_ = nullptr;
};

TEST_F(MainWindowTest, StartsCentredWithFixedFrameFirstChoiceAndFocusInUrlBox) {
    RECT frame;
    GetWindowRect(window_, &frame);
    EXPECT_EQ(frame.right - frame.left, 839);
    EXPECT_EQ(frame.bottom - frame.top, 539);
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - 839) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - 539) / 2);
    const auto style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    EXPECT_EQ(GetFocus(), controlWindow(编辑框1));
    const ControlName radios[] = {单选框1, 单选框2, 单选框3, 单选框4, 单选框5};
    for (ControlName radio : radios) {
        EXPECT_EQ(checked(radio), radio == 单选框1 ? 1 : 0);
    }
    EXPECT_EQ(text(编辑框1), "");
    EXPECT_EQ(text(编辑框2), "");
    // Captions are local-code-page bytes: the Visit button reads 访, three blanks, 问 in GBK.
    char caption[32] = {};
    GetWindowTextA(controlWindow(按钮1), caption, sizeof caption);
    EXPECT_EQ(Text(caption), "\xB7\xC3   \xCE\xCA");
    EXPECT_EQ(SendMessageA(controlWindow(编辑框1), WM_GETFONT, 0, 0),
              reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
}

TEST_F(MainWindowTest, TabCyclesTheControlsInOrderAndSkipsTheLink) {
    const ControlName order[] = {按钮1,   编辑框2, 单选框1, 单选框2,
                                 单选框3, 单选框4, 单选框5, 编辑框1};
    for (ControlName expected : order) {
        SCOPED_TRACE(static_cast<int>(expected));
        press(VK_TAB);
        EXPECT_EQ(GetFocus(), controlWindow(expected));
    }
    setShift(true);
    const ControlName backwards[] = {单选框5, 单选框4, 单选框3, 单选框2,
                                     单选框1, 编辑框2, 按钮1,   编辑框1};
    for (ControlName expected : backwards) {
        SCOPED_TRACE(static_cast<int>(expected));
        press(VK_TAB);
        EXPECT_EQ(GetFocus(), controlWindow(expected));
    }
}

TEST_F(MainWindowTest, ArrowsAndClicksMoveTheOneCheckThroughTheGroup) {
    SetFocus(controlWindow(单选框1));
    press(VK_RIGHT);
    EXPECT_EQ(GetFocus(), controlWindow(单选框2));
    EXPECT_EQ(checked(单选框1), 0);
    EXPECT_EQ(checked(单选框2), 1);
    SendMessageA(controlWindow(单选框4), BM_CLICK, 0, 0);
    const ControlName radios[] = {单选框1, 单选框2, 单选框3, 单选框4, 单选框5};
    for (ControlName radio : radios) {
        EXPECT_EQ(checked(radio), radio == 单选框4 ? 1 : 0);
    }
}

TEST_F(MainWindowTest, EnterPressesNothingInTheUrlBoxAndBreaksTheLineInTheOutputBox) {
    setText(编辑框1, "not a url");
    setText(编辑框2, "kept");
    press(VK_RETURN, controlWindow(编辑框1));
    EXPECT_EQ(GetFocus(), controlWindow(编辑框1));
    EXPECT_EQ(text(编辑框2), "kept") << "Enter must not run a visit";

    setText(编辑框2, "");
    SetFocus(controlWindow(编辑框2));
    press(VK_RETURN);
    EXPECT_EQ(text(编辑框2), "\r\n");
    EXPECT_EQ(GetFocus(), controlWindow(编辑框2));
}

TEST_F(MainWindowTest, EditBoxTextsRoundTripVerbatimAndUncapped) {
    // The last rows are no valid GBK: the bytes of a UTF-8 page shown before its re-decoding.
    const Text cases[] = {"",
                          "a",
                          "\xC4\xE3\xBA\xC3",
                          "tab\there",
                          Text(40000, 'w'),
                          "\x82\x22>",
                          "\xE3\x80\x82",
                          "end\x81"};
    for (ControlName box : {编辑框1, 编辑框2}) {
        for (const Text& value : cases) {
            SCOPED_TRACE(value.substr(0, 16));
            setText(box, value);
            EXPECT_EQ(text(box), value);
        }
    }
    // The output box takes a whole page: line breaks kept as sent, far beyond the default cap.
    Text page;
    while (page.size() < 200000) {
        page += "\xD6\xD0\xCE\xC4 line\r\n";  // 中文 in GBK
    }
    setText(编辑框2, page);
    EXPECT_EQ(text(编辑框2), page);
}

TEST_F(MainWindowTest, EscClosesTheWindowAndLeavesTheQuitRequestQueued) {
    SetFocus(controlWindow(编辑框2));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(platform::processPendingEvents());
    EXPECT_FALSE(IsWindow(window_));
    auto& controls = platform::mainWindowControls();
    EXPECT_FALSE(controls.isOpen());
    controls.setText(编辑框2, "nowhere");  // must not touch the destroyed control
    EXPECT_EQ(controls.text(编辑框2), "");
    EXPECT_TRUE(platform::processPendingEvents()) << "the quit request stays for the loop";
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(MainWindowTest, VisitButtonFetchesAndShowsThePageReDecoded) {
    const std::string nginx = testing::serverUrl("CRAWLERVIEW_NGINX_URL");
    ASSERT_FALSE(nginx.empty()) << "run through scripts/test-windows, which starts nginx";
    const ByteBuffer gbk = testing::fileBytes(CRAWLERVIEW_FIXTURES "/page-gbk.html");
    struct Row {
        const char* path;
        ControlName choice;
        Text expected;
    };
    const Row rows[] = {
        {"/page-utf8.html", 单选框5, toText(gbk)},  // declares UTF-8: re-decoded to GBK
        {"/echo-agent", 单选框3,
         "Mozilla/5.0 (compatible;+Sosospider;++http://help.soso.com/webspider.htm)"},
        {"/echo-agent", 单选框5, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        setText(编辑框1, nginx + row.path);
        SendMessageA(controlWindow(row.choice), BM_CLICK, 0, 0);
        SendMessageA(controlWindow(按钮1), BM_CLICK, 0, 0);  // the visit runs inside the click
        EXPECT_EQ(text(编辑框2), row.expected);
    }
}

TEST_F(MainWindowTest, ClosingDuringAVisitEndsTheWaitAndTouchesNothing) {
    testing::SilentServer silent;
    setText(编辑框1, silent.url("/"));
    // Queued now, dispatched by the fetch's own processing while it waits on the silent server.
    PostMessageA(controlWindow(编辑框1), WM_KEYDOWN, VK_ESCAPE, 1);
    SendMessageA(controlWindow(按钮1), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_FALSE(platform::mainWindowControls().isOpen());
}

}  // namespace
}  // namespace crawlerview
