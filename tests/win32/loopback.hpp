// Loopback peers for the Windows back-end's tests: the servers that scripts/test-windows starts
// (their base URLs arrive in environment variables) and a silent server made here with Winsock.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "text/text.hpp"

namespace crawlerview::testing {

// "http://127.0.0.1:port" of a server that scripts/test-windows started, or empty.
inline std::string serverUrl(const char* variable) {
    const char* value = std::getenv(variable);
    return value == nullptr ? std::string() : std::string(value);
}

// The port of "http://127.0.0.1:port", or 0.
inline int serverPort(const std::string& url) {
    const auto colon = url.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(url.c_str() + colon + 1);
}

inline ByteBuffer fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline ByteBuffer bytesOf(const std::string& text) {
    return ByteBuffer(text.begin(), text.end());
}

// Accepts connections into its backlog and never answers: a request to it waits forever.
class SilentServer {
  public:
    SilentServer() {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (socket_ != INVALID_SOCKET &&
            ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(socket_, 16) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentServer() {
        if (socket_ != INVALID_SOCKET) {
            ::closesocket(socket_);
        }
        if (started_) {
            WSACleanup();
        }
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

}  // namespace crawlerview::testing
