#include "support/nginx_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace crawlerview::testing {
namespace {

namespace fs = std::filesystem;

std::string makePrefix(const char* name) {
    std::string pattern = (fs::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs `args` as a child process with stdin and stdout closed; -1 when it cannot be started.
pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);  // a Ctrl+C in the terminal goes to the test, which stops the child
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void stopChild(pid_t& pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
    }
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool waitUntilListening(std::uint16_t port, pid_t pid) {
    // The child gives no sign of readiness, so this start-up probe retries the connection.
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool connected =
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string NginxServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool NginxServer::start() {
    prefix_ = makePrefix("crawlerview-nginx");
    if (prefix_.empty()) {
        error_ = "no temporary directory";
        return false;
    }
    const fs::path prefix(prefix_);
    const fs::path html = prefix / "html";
    writeFile(html / "gbk.html",
              std::string("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=gb2312\"></head><body>") +
                  kChineseTextGbk + "</body></html>\n");
    writeFile(html / "utf8.html", std::string("<html><head><meta charset=\"utf-8\"></head><body>") +
                                      kChineseText + "</body></html>\n");
    writeFile(html / "private" / "index.html", "secret page");
    if (bigPageBytes_ > 0) {
        std::string big(bigPageBytes_, '\0');
        for (std::size_t i = 0; i < big.size(); ++i) {
            big[i] = static_cast<char>('a' + i % 26);
        }
        writeFile(html / "big.bin", big);
    }
    const std::string hash =
        commandOutput(std::string("openssl passwd -apr1 '") + kAuthPassword + "'");
    if (hash.rfind("$apr1$", 0) != 0) {
        error_ = "openssl passwd gave no hash";
        return false;
    }
    writeFile(prefix / "htpasswd", std::string(kAuthUser) + ":" + hash + "\n");
    fs::create_directories(prefix / "logs");
    fs::create_directories(prefix / "tmp");

    port_ = freeLoopbackPort();
    const std::string p = prefix_;
    std::ostringstream conf;
    conf << "master_process off;\ndaemon off;\nworker_processes 1;\n"
         << "error_log " << p << "/logs/error.log;\npid " << p << "/nginx.pid;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n  access_log " << p << "/logs/access.log;\n"
         << "  client_body_temp_path " << p << "/tmp/body;\n"
         << "  proxy_temp_path " << p << "/tmp/proxy;\n"
         << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n"
         << "  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
         << "  scgi_temp_path " << p << "/tmp/scgi;\n"
         << "  types { text/html html; application/octet-stream bin; }\n"
         << "  default_type text/plain;\n"
         << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << p << "/html;\n"
         << "    location = /cookie { add_header Set-Cookie \"visit=yes; path=/\"; "
            "return 200 \"set\"; }\n"
         << "    location = /echo-cookie { return 200 \"cookie=[$http_cookie]\"; }\n"
         << "    location = /echo-via { return 200 \"via=[$http_via]\"; }\n"
         << "    location = /redirect { return 302 /gbk.html; }\n"
         << "    location /private/ { auth_basic \"private\"; auth_basic_user_file " << p
         << "/htpasswd; }\n"
         << "  }\n}\n";
    writeFile(prefix / "nginx.conf", conf.str());
    pid_ = spawn({"nginx", "-p", p + "/", "-c", p + "/nginx.conf", "-e", p + "/logs/error.log"});
    if (pid_ < 0 || !waitUntilListening(port_, pid_)) {
        error_ = "nginx did not start: " + readAll(prefix / "logs" / "error.log");
        pid_ = -1;
        return false;
    }
    return true;
}

void NginxServer::stop() {
    stopChild(pid_);
    if (!prefix_.empty()) {
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        prefix_.clear();
    }
}

std::string TinyproxyServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string TinyproxyServer::log() const {
    return readAll(fs::path(prefix_) / "tinyproxy.log");
}

bool TinyproxyServer::start() {
    prefix_ = makePrefix("crawlerview-tinyproxy");
    if (prefix_.empty()) {
        error_ = "no temporary directory";
        return false;
    }
    // tinyproxy gives up root for "nobody" after opening its log.
    fs::permissions(prefix_, fs::perms::all);
    port_ = freeLoopbackPort();
    std::ostringstream conf;
    conf << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 60\n"
         << "LogFile \"" << prefix_ << "/tinyproxy.log\"\nLogLevel Info\n"
         << "PidFile \"" << prefix_ << "/tinyproxy.pid\"\n"
         << "MaxClients 20\nAllow 127.0.0.1\nViaProxyName \"crawlerview-test-proxy\"\n";
    if (::geteuid() == 0) {
        conf << "User nobody\nGroup nogroup\n";
    }
    writeFile(fs::path(prefix_) / "tinyproxy.conf", conf.str());
    pid_ = spawn({"tinyproxy", "-d", "-c", prefix_ + "/tinyproxy.conf"});
    if (pid_ < 0 || !waitUntilListening(port_, pid_)) {
        error_ = "tinyproxy did not start: " + log();
        pid_ = -1;
        return false;
    }
    return true;
}

void TinyproxyServer::stop() {
    stopChild(pid_);
    if (!prefix_.empty()) {
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        prefix_.clear();
    }
}

}  // namespace crawlerview::testing
