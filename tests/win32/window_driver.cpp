// Drives the real crawlerview.exe from outside, as a user would: types a URL, picks a crawler,
// clicks Visit, reads the output box; later closes the program with Esc and checks its exit code.
//   window_driver visit <crawlerview.exe> <url> <expected-body-file>
//   window_driver close
// Prints what it found and exits with 0 when everything was as expected.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char kWindowClass[] = "CrawlerViewMainWindow";
constexpr DWORD kPatienceMs = 60000;  // a bound for a stuck program, not a speed target

// The controls in creation order: URL box, Visit button, output box, five radio buttons, link.
std::vector<HWND> controlsOf(HWND window) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    return controls;
}

std::string textOf(HWND control) {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kPatienceMs, &length);
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, kPatienceMs, &copied);
    text.resize(copied);
    return text;
}

int visit(const char* program, const char* url, const char* expectedFile) {
    std::ifstream in(expectedFile, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (expected.empty()) {
        std::printf("no expected body in %s\n", expectedFile);
        return 1;
    }
    std::string commandLine = std::string("\"") + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start %s\n", program);
        return 1;
    }
    WaitForInputIdle(process.hProcess, kPatienceMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    HWND window = FindWindowA(kWindowClass, nullptr);
    const std::vector<HWND> controls = window ? controlsOf(window) : std::vector<HWND>();
    if (controls.size() != 9) {
        std::printf("main window not found or not nine controls (%zu)\n", controls.size());
        return 1;
    }
    SendMessageA(controls[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(url));
    SendMessageA(controls[4], BM_CLICK, 0, 0);  // 模拟谷歌
    DWORD_PTR ignored = 0;
    // The visit runs inside the click, so the click returns when the page is shown.
    if (!SendMessageTimeoutA(controls[1], BM_CLICK, 0, 0, SMTO_NORMAL, kPatienceMs, &ignored)) {
        std::printf("the Visit click did not return\n");
        return 1;
    }
    const std::string shown = textOf(controls[2]);
    if (shown != expected) {
        std::printf("output box holds %zu bytes, expected %zu\n", shown.size(), expected.size());
        return 1;
    }
    std::printf("visit ok: %zu bytes shown\n", shown.size());
    return 0;
}

int close() {
    HWND window = FindWindowA(kWindowClass, nullptr);
    if (window == nullptr) {
        std::printf("main window not found\n");
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        std::printf("cannot open the program's process\n");
        return 1;
    }
    PostMessageA(controlsOf(window)[2], WM_KEYDOWN, VK_ESCAPE, 1);
    DWORD exitCode = 1;
    const bool ended = WaitForSingleObject(process, kPatienceMs) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    if (!ended || exitCode != 0) {
        std::printf("Esc did not end the program with code 0 (ended %d, code %lu)\n", ended,
                    exitCode);
        return 1;
    }
    std::printf("close ok: Esc ended the program with code 0\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "visit" && argc == 5) {
        return visit(argv[2], argv[3], argv[4]);
    }
    if (mode == "close" && argc == 2) {
        return close();
    }
    std::printf(
        "usage: window_driver visit <crawlerview.exe> <url> <expected-body-file> | close\n");
    return 2;
}
