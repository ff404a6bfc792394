// Seam: the seven operations of the platform's HTTP client, with WinINet's arguments and results.
// Back-ends: linux/http_client.cpp (libcurl) and win32/http_client.cpp (WinINet.dll).
//
// Contract common to every operation:
// - String arguments are zero-terminated local-code-page text, or null where a text is absent.
// - Handles are owned by the caller from the moment an operation returns one until it passes the
//   handle to closeHandle. A handle may be used only on the thread that opened it.
// - Only the three operations that create a handle report failure that the caller acts on (null);
//   the caller is free to ignore every other result.
#pragma once

#include <cstdint>

namespace crawlerview::platform {

using HttpHandle = void*;

inline constexpr std::uint32_t kOpenTypeDirect = 1;        // INTERNET_OPEN_TYPE_DIRECT
inline constexpr std::uint32_t kOpenTypeProxy = 3;         // INTERNET_OPEN_TYPE_PROXY
inline constexpr std::uint32_t kServiceHttp = 3;           // INTERNET_SERVICE_HTTP
inline constexpr std::uint32_t kFlagReload = 0x80000000u;  // INTERNET_FLAG_RELOAD
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;  // HTTP_QUERY_RAW_HEADERS_CRLF

class HttpClient {
  public:
    virtual ~HttpClient() = default;

    // InternetOpenA. `proxy` is "http=" followed by host:port when accessType is kOpenTypeProxy.
    // Returns the Internet handle, or null on failure.
    virtual HttpHandle openInternet(const char* agent, std::uint32_t accessType, const char* proxy,
                                    const char* proxyBypass, std::uint32_t flags) = 0;

    // InternetConnectA. Nothing goes over the network yet. Returns the connection handle, or null
    // on failure (no host, a port outside 1..65535).
    virtual HttpHandle connect(HttpHandle internet, const char* host, std::int32_t port,
                               const char* userName, const char* password, std::uint32_t service,
                               std::uint32_t flags, std::uintptr_t context) = 0;

    // HttpOpenRequestA. A null verb means GET; the verb is sent exactly as given. Returns the
    // request handle, or null on failure.
    virtual HttpHandle openRequest(HttpHandle connection, const char* verb, const char* path,
                                   const char* version, const char* referrer,
                                   const char* const* acceptTypes, std::uint32_t flags,
                                   std::uintptr_t context) = 0;

    // HttpSendRequestA: sends the request with `headers` (CR LF separated lines) and the body, and
    // returns once the final response's header block has arrived (redirects followed), or on
    // failure (false). After a failure, reads deliver nothing.
    virtual bool sendRequest(HttpHandle request, const char* headers, std::uint32_t headersLength,
                             const void* body, std::uint32_t bodyLength) = 0;

    // InternetReadFile: delivers up to `bytesToRead` bytes of the body into `buffer`. *bytesRead
    // is set to 0 before anything else happens; 0 bytes means the end of the body (or a failure).
    virtual bool readFile(HttpHandle request, void* buffer, std::uint32_t bytesToRead,
                          std::uint32_t* bytesRead) = 0;

    // HttpQueryInfoA with kQueryRawHeadersCrlf: the status line and the header lines of the final
    // response, each ending in CR LF, then an empty line, zero-terminated. When the block and its
    // zero fit in *bufferLength bytes, they are copied into `buffer`, *bufferLength receives the
    // block's length and the result is true; otherwise `buffer` is left as it was, *bufferLength
    // receives the size needed and the result is false.
    virtual bool queryInfo(HttpHandle request, std::uint32_t infoLevel, void* buffer,
                           std::uint32_t* bufferLength, std::uint32_t* index) = 0;

    // InternetCloseHandle, for a handle of any of the three kinds.
    virtual bool closeHandle(HttpHandle handle) = 0;
};

// The process's client: one per process, never destroyed (an abandoned worker may still be using
// it while the program ends). Safe to call from any thread.
HttpClient& systemHttpClient();

}  // namespace crawlerview::platform
