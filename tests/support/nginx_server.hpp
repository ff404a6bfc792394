// Real servers for the back-end and end-to-end tests: nginx with a fixed set of pages, and
// tinyproxy in front of it. Each runs as a child process on a free loopback port, in a temporary
// prefix of its own that is removed again when it stops.
//
//   NginxServer server;
//   ASSERT_TRUE(server.start());
//   fetch(server.url(kGbkPage));
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace crawlerview::testing {

// The pages nginx serves.
inline constexpr char kGbkPage[] = "/gbk.html";            // GBK bytes, charset=gb2312
inline constexpr char kUtf8Page[] = "/utf8.html";          // UTF-8 Chinese text, charset=utf-8
inline constexpr char kCookiePage[] = "/cookie";           // sets "visit=yes; path=/", body "set"
inline constexpr char kEchoCookiePage[] = "/echo-cookie";  // body "cookie=[<Cookie header>]"
inline constexpr char kEchoViaPage[] = "/echo-via";        // body "via=[<Via header>]"
inline constexpr char kRedirectPage[] = "/redirect";       // 302 to /gbk.html
inline constexpr char kPrivatePage[] = "/private/index.html";  // basic auth, body "secret page"
inline constexpr char kMissingPage[] = "/missing.html";        // 404
inline constexpr char kBigPage[] = "/big.bin";  // bigPageBytes of data (when asked for)

inline constexpr char kAuthUser[] = "crawler";
inline constexpr char kAuthPassword[] = "s3cret";

// The texts in the two encoded pages (UTF-8 here; the GBK page holds the same text in GBK).
inline constexpr char kChineseText[] =
    "\xe4\xb8\xad\xe6\x96\x87\xe7\xbd\x91\xe9\xa1\xb5";  // 中文网页
inline constexpr char kChineseTextGbk[] = "\xd6\xd0\xce\xc4\xcd\xf8\xd2\xb3";

class NginxServer {
  public:
    explicit NginxServer(std::size_t bigPageBytes = 0) : bigPageBytes_(bigPageBytes) {}
    ~NginxServer() { stop(); }
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // Writes the prefix, starts nginx and waits until it accepts connections. False (with the
    // reason in error()) when it could not be started.
    bool start();
    void stop();
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& path) const;
    const std::string& error() const { return error_; }

  private:
    std::size_t bigPageBytes_;
    std::string prefix_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
};

class TinyproxyServer {
  public:
    TinyproxyServer() = default;
    ~TinyproxyServer() { stop(); }
    TinyproxyServer(const TinyproxyServer&) = delete;
    TinyproxyServer& operator=(const TinyproxyServer&) = delete;

    bool start();
    void stop();
    std::uint16_t port() const { return port_; }
    // "127.0.0.1:port", as the proxy text of a fetch.
    std::string address() const;
    // What tinyproxy has logged so far.
    std::string log() const;
    const std::string& error() const { return error_; }

  private:
    std::string prefix_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
};

// A free TCP port on 127.0.0.1 (free when asked; a child process binds it right after).
std::uint16_t freeLoopbackPort();
// Blocks until something accepts connections on 127.0.0.1:port, or `pid` has exited, or about
// ten seconds have passed.
bool waitUntilListening(std::uint16_t port, pid_t pid);

}  // namespace crawlerview::testing
