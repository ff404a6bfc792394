// crawlerview_test_server [--record FILE] [SCRIPT-PATH]: serves the scripted answers on a free
// loopback port, prints the port on its own line, and appends every request to FILE, each one
// followed by a line "----". SCRIPT-PATH ("/silent", ...) answers paths that name no script.
// Runs until it receives SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "support/scripted_server.hpp"

namespace {

void appendTo(const std::string& request, void* context) {
    std::ofstream out(*static_cast<std::string*>(context), std::ios::binary | std::ios::app);
    out << request << "\n----\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string recordFile;
    std::string fallback;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--record" && i + 1 < argc) {
            recordFile = argv[++i];
        } else {
            fallback = arg;
        }
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // before the server's threads start

    crawlerview::testing::ScriptedServer server(fallback);
    if (!recordFile.empty()) {
        server.onRequest(appendTo, &recordFile);
    }
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
