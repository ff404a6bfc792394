// The HTTP client on WinINet.dll, the Windows Internet functions, called synchronously on the
// worker thread.
//
// Each handle given out wraps WinINet's own, so that a worker that has been abandoned can be
// cancelled: when the worker is told to stop while it is blocked in HttpSendRequestA or
// InternetReadFile, the releasing thread closes the request's WinINet handle, which is how WinINet
// aborts a call in progress (it returns at once with ERROR_INTERNET_OPERATION_CANCELLED). The
// worker's own later closeHandle then only forgets the wrapper, so the handle is never closed
// twice. Between reads the worker checks the stop flag itself.
#include "platform/http_client.hpp"

#include <windows.h>
#include <wininet.h>

#include <mutex>

#include "platform/worker_thread.hpp"

namespace crawlerview::platform {
namespace {

struct WinInetHandle {
    explicit WinInetHandle(HINTERNET handle) : native(handle) {}

    // The native handle for a call, or null once it has been closed by a stop.
    HINTERNET forCall() {
        const std::lock_guard lock(mutex);
        return closed ? nullptr : native;
    }
    // Closes the native handle unless that has happened already.
    bool close() {
        const std::lock_guard lock(mutex);
        if (closed) {
            return true;
        }
        closed = true;
        return InternetCloseHandle(native) != FALSE;
    }

    std::mutex mutex;
    HINTERNET native;
    bool closed = false;
};

HttpHandle wrap(HINTERNET native) {
    return native == nullptr ? nullptr : new WinInetHandle(native);
}

WinInetHandle* unwrap(HttpHandle handle) {
    return static_cast<WinInetHandle*>(handle);
}

// For the duration of a call that may block on the network: a stop closes the request handle.
class CancelOnStop {
  public:
    explicit CancelOnStop(WinInetHandle& request)
        : notification_([&request] { request.close(); }) {}

  private:
    StopNotification notification_;
};

class WinInetClient final : public HttpClient {
  public:
    HttpHandle openInternet(const char* agent, std::uint32_t accessType, const char* proxy,
                            const char* proxyBypass, std::uint32_t flags) override {
        return wrap(InternetOpenA(agent, accessType, proxy, proxyBypass, flags));
    }

    HttpHandle connect(HttpHandle internet, const char* host, std::int32_t port,
                       const char* userName, const char* password, std::uint32_t service,
                       std::uint32_t flags, std::uintptr_t context) override {
        // WinINet takes port 0 as "the default port" and cuts larger numbers to 16 bits; the
        // program must not reach a server other than the one the URL names.
        if (internet == nullptr || host == nullptr || *host == '\0' || port < 1 || port > 65535) {
            return nullptr;
        }
        HINTERNET session = unwrap(internet)->forCall();
        if (session == nullptr) {
            return nullptr;
        }
        return wrap(InternetConnectA(session, host, static_cast<INTERNET_PORT>(port), userName,
                                     password, service, flags, context));
    }

    HttpHandle openRequest(HttpHandle connection, const char* verb, const char* path,
                           const char* version, const char* referrer,
                           const char* const* acceptTypes, std::uint32_t flags,
                           std::uintptr_t context) override {
        if (connection == nullptr) {
            return nullptr;
        }
        HINTERNET server = unwrap(connection)->forCall();
        if (server == nullptr) {
            return nullptr;
        }
        return wrap(HttpOpenRequestA(server, verb, path, version, referrer,
                                     const_cast<const char**>(acceptTypes), flags, context));
    }

    bool sendRequest(HttpHandle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) override {
        if (request == nullptr || stopRequested()) {
            return false;
        }
        const CancelOnStop cancel(*unwrap(request));
        HINTERNET native = unwrap(request)->forCall();
        if (native == nullptr) {
            return false;
        }
        return HttpSendRequestA(native, headers, headers == nullptr ? 0 : headersLength,
                                const_cast<void*>(body), body == nullptr ? 0 : bodyLength) != FALSE;
    }

    bool readFile(HttpHandle request, void* buffer, std::uint32_t bytesToRead,
                  std::uint32_t* bytesRead) override {
        if (bytesRead == nullptr) {
            return false;
        }
        *bytesRead = 0;
        if (request == nullptr || buffer == nullptr || stopRequested()) {
            return false;
        }
        const CancelOnStop cancel(*unwrap(request));
        HINTERNET native = unwrap(request)->forCall();
        if (native == nullptr) {
            return false;
        }
        DWORD count = 0;
        const BOOL ok = InternetReadFile(native, buffer, bytesToRead, &count);
        *bytesRead = ok ? count : 0;
        return ok != FALSE;
    }

    bool queryInfo(HttpHandle request, std::uint32_t infoLevel, void* buffer,
                   std::uint32_t* bufferLength, std::uint32_t* index) override {
        if (request == nullptr || bufferLength == nullptr) {
            return false;
        }
        HINTERNET native = unwrap(request)->forCall();
        if (native == nullptr) {
            return false;
        }
        DWORD length = *bufferLength;
        DWORD indexValue = index == nullptr ? 0 : *index;
        const BOOL ok = HttpQueryInfoA(native, infoLevel, buffer, &length,
                                       index == nullptr ? nullptr : &indexValue);
        *bufferLength = length;
        if (index != nullptr) {
            *index = indexValue;
        }
        return ok != FALSE;
    }

    bool closeHandle(HttpHandle handle) override {
        if (handle == nullptr) {
            return false;
        }
        WinInetHandle* wrapper = unwrap(handle);
        const bool ok = wrapper->close();
        delete wrapper;
        return ok;
    }
};

}  // namespace

HttpClient& systemHttpClient() {
    static WinInetClient* client = new WinInetClient;  // never destroyed: see the seam
    return *client;
}

}  // namespace crawlerview::platform
