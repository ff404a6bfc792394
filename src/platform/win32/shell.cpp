// Opening an address with the Windows shell: the "open" verb, or else the program that the
// system has registered for ".htm" files.
#include "platform/shell.hpp"

#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlwapi.h>

#include <memory>
#include <string>

namespace crawlerview::platform {
namespace {

// The command line that opens ".htm" files, as registered, or empty.
std::string htmOpenCommand() {
    DWORD size = 0;
    if (AssocQueryStringA(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, ".htm", "open", nullptr, &size) !=
            S_FALSE ||
        size == 0) {
        return {};
    }
    std::string command(size, '\0');
    if (AssocQueryStringA(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, ".htm", "open", command.data(),
                          &size) != S_OK) {
        return {};
    }
    command.resize(command.find('\0') == std::string::npos ? command.size() : command.find('\0'));
    return command;
}

// The address goes where the registered command asks for its document ("%1"); appending it after
// an unreplaced "%1" would hand the browser a file literally named %1.
std::string withAddress(std::string command, const Text& address) {
    const std::string quoted = "\"" + address + "\"";
    for (const char* placeholder : {"\"%1\"", "%1", "\"%L\"", "%L"}) {
        const auto at = command.find(placeholder);
        if (at != std::string::npos) {
            return command.replace(at, std::char_traits<char>::length(placeholder), quoted);
        }
    }
    return command + " " + quoted;
}

struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

}  // namespace

bool openAddress(const Text& address) {
    if (address.empty()) {
        return false;
    }
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) {  // ShellExecute's own rule: larger than 32 means success
        return true;
    }
    const std::string registered = htmOpenCommand();
    if (registered.empty()) {
        return false;
    }
    std::string commandLine = withAddress(registered, address);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    const std::unique_ptr<void, HandleClose> processHandle(process.hProcess);
    const std::unique_ptr<void, HandleClose> threadHandle(process.hThread);
    return true;
}

}  // namespace crawlerview::platform
