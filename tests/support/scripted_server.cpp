#include "support/scripted_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cstring>

namespace crawlerview::testing {
namespace {

void sendAll(int socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

// A block of exactly `size` bytes: status line, the cookie, padding, Connection: close.
std::string blockOfSize(std::size_t size, const std::string& cookie) {
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: " + cookie +
                             "\r\nContent-Length: 2\r\nConnection: close\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    return head + std::string(size - head.size() - end.size(), 'p') + end;
}

std::string pathOf(const std::string& request) {
    const auto first = request.find(' ');
    const auto second = request.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        return {};
    }
    return request.substr(first + 1, second - first - 1);
}

}  // namespace

ScriptedServer::ScriptedServer(std::string fallback) : fallback_(std::move(fallback)) {}

ScriptedServer::~ScriptedServer() {
    stop();
}

std::string ScriptedServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedServer::onRequest(void (*record)(const std::string&, void*), void* context) {
    record_ = record;
    recordContext_ = context;
}

bool ScriptedServer::start() {
    int wake[2];
    if (::pipe(wake) != 0) {
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
    return true;
}

void ScriptedServer::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    if (wakeWrite_ >= 0) {
        const char byte = 0;
        [[maybe_unused]] auto n = ::write(wakeWrite_, &byte, 1);
    }
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& connection : connections) {
        connection.join();
    }
    for (int fd : {listener_, wakeRead_, wakeWrite_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::vector<std::string> ScriptedServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, client] {
            serve(client);
            ::close(client);
        });
    }
}

void ScriptedServer::serve(int client) {
    // Reads one request; false when the peer went away or the server is stopping.
    std::string request;
    auto receive = [&](auto complete) {
        char buffer[4096];
        while (!complete()) {
            pollfd fds[2] = {{client, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
                return false;
            }
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return false;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    };
    auto headersEnd = [&] { return request.find("\r\n\r\n"); };
    if (!receive([&] { return headersEnd() != std::string::npos; })) {
        return;
    }
    std::size_t bodyLength = 0;
    {
        std::string lower = request.substr(0, headersEnd());
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        const auto at = lower.find("\r\ncontent-length:");
        if (at != std::string::npos) {
            bodyLength = std::strtoul(lower.c_str() + at + 17, nullptr, 10);
        }
    }
    const std::size_t total = headersEnd() + 4 + bodyLength;
    if (!receive([&] { return request.size() >= total; })) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    if (record_ != nullptr) {
        record_(request, recordContext_);
    }

    std::string path = pathOf(request);
    path = path.substr(0, path.find('?'));
    if (std::find_if(std::begin(kScriptPaths), std::end(kScriptPaths),
                     [&](const char* p) { return path == p; }) == std::end(kScriptPaths)) {
        path = fallback_;
    }
    if (path == "/header-1023" || path == "/header-1024") {
        sendAll(client, blockOfSize(path == "/header-1023" ? 1023 : 1024,
                                    path == "/header-1023" ? "fit=1" : "toolong=1") +
                            "ok");
    } else if (path == "/zero-bytes") {
        static constexpr char kAnswer[] =
            "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\na\0b\0\0c";
        sendAll(client, std::string(kAnswer, sizeof kAnswer - 1));
    } else if (path == "/no-body") {
        sendAll(client, "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
    } else if (path == "/silent") {
        char byte;
        pollfd fds[2] = {{client, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && (fds[1].revents & POLLIN) == 0 &&
               ::recv(client, &byte, 1, 0) > 0) {
        }
    } else if (path == "/part-then-silent") {
        sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart");
        char byte;
        pollfd fds[2] = {{client, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 && (fds[1].revents & POLLIN) == 0 &&
               ::recv(client, &byte, 1, 0) > 0) {
        }
    } else if (path == "/close-mid-body") {
        sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
    } else if (path == "/garbage") {
        sendAll(client, "this is not HTTP at all\r\n\r\nnor is this\r\n");
    } else if (path == "/chunked") {
        sendAll(client,
                "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                "5\r\nfirst\r\n7\r\n-second\r\n6\r\n-third\r\n0\r\nX-Trailer: t\r\n\r\n");
    } else if (path == "/redirect") {
        sendAll(client,
                "HTTP/1.1 302 Found\r\nLocation: /redirected\r\nContent-Length: 5\r\n"
                "Connection: close\r\n\r\nmoved");
    } else if (path == "/redirected") {
        sendAll(client,
                "HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 5\r\nConnection: close\r\n\r\n"
                "final");
    } else if (path == "/echo") {
        sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(request.size()) +
                            "\r\nConnection: close\r\n\r\n" + request);
    } else {
        sendAll(client, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }
    ::shutdown(client, SHUT_WR);
}

}  // namespace crawlerview::testing
