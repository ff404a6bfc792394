// A loopback HTTP server that answers byte-exact, misbehaving on purpose where a test needs it.
// Each path names a script; requests are recorded as they arrive (request line, header lines and
// body, byte for byte). POSIX sockets; also run standalone as crawlerview_test_server.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crawlerview::testing {

// The paths served, one script each.
inline constexpr const char* kScriptPaths[] = {
    "/header-1023",     // a header block of exactly 1023 bytes (it sets cookie fit=1), body "ok"
    "/header-1024",     // the same block one byte longer (cookie toolong=1)
    "/zero-bytes",      // a body with zero bytes in it: "a\0b\0\0c"
    "/no-body",         // 204, no body
    "/silent",          // accepts, reads the request, never answers
    "/close-mid-body",  // announces 1000 bytes, sends 10 and closes
    "/garbage",         // a line of garbage instead of a status line
    "/chunked",         // the body in three chunks
    "/redirect",        // 302 to /redirected, which sets a header X-Final and answers "final"
    "/redirected",
    "/echo",              // answers with the request it received
    "/part-then-silent",  // announces 100 bytes, sends "part" and then nothing more
};

class ScriptedServer {
  public:
    // `fallback`: the script for paths that name none (empty: 404).
    explicit ScriptedServer(std::string fallback = {});
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Listens on 127.0.0.1 at a free port. False when no socket could be opened.
    bool start();
    void stop();
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& path) const;

    // Every request received so far, raw.
    std::vector<std::string> requests() const;
    // Called with each raw request as it arrives (set before start()).
    void onRequest(void (*record)(const std::string& request, void* context), void* context);

  private:
    void acceptLoop();
    void serve(int client);

    std::string fallback_;
    int listener_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::vector<int> openClients_;
    void (*record_)(const std::string&, void*) = nullptr;
    void* recordContext_ = nullptr;
    std::atomic<bool> stopping_{false};
};

}  // namespace crawlerview::testing
