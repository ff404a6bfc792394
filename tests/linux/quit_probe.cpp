// Starts a fetch with the default time-out against a server that never answers, and quits the
// application 300 ms later. The fetch must give up, and the program must end at once, although
// its worker is still blocked on the network. Prints what the fetch returned.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "fetch/fetch_page.hpp"
#include "support/scripted_server.hpp"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    crawlerview::testing::ScriptedServer server;
    if (!server.start()) {
        return 2;
    }
    QTimer::singleShot(0, [&server] {
        crawlerview::FetchRequest request;
        request.url = server.url("/silent");
        const auto body = crawlerview::fetchPage(request);
        std::printf("fetch returned %zu bytes\n", body.size());
        std::fflush(stdout);
    });
    QTimer::singleShot(300, &app, &QCoreApplication::quit);
    return app.exec();
}
