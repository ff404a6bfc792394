// Prints, for the window on Qt's offscreen platform (or a display, if QT_QPA_PLATFORM says so):
// - click-to-final-text of a 4 MiB UTF-8 page (fetch, show, re-decode, show again) against
//   fetchPage alone for the same page, both from a loopback server (medians);
// - the time to show 8 MiB against 4 MiB of GBK text in the output box, and their ratio;
// - start-up: from creating the application to the main window being exposed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fetch/fetch_page.hpp"
#include "platform/linux/main_window_qt.hpp"
#include "support/nginx_server.hpp"
#include "text/utf8_to_local.hpp"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using crawlerview::ControlName;
constexpr int kRounds = 5;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A page as large sites send them: many short lines, Chinese text, a UTF-8 declaration on top.
std::string utf8Page(std::size_t bytes) {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>CrawlerView</title></head><body>\n";
    for (std::size_t line = 0; page.size() < bytes; ++line) {
        page += "<p>第" + std::to_string(line) +
                "行：蜘蛛视角看到的中文网页内容 CrawlerView sees this page as a crawler.</p>\n";
    }
    page.resize(bytes);
    return page;
}

// A static file server on loopback for the page: Python's, serving a temporary folder.
struct PageServer {
    std::filesystem::path folder;
    pid_t pid = -1;
    std::uint16_t port = 0;

    bool start(const std::string& page) {
        folder = std::filesystem::temp_directory_path() /
                 ("crawlerview-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "page.html", std::ios::binary) << page;
        port = crawlerview::testing::freeLoopbackPort();
        const std::string portText = std::to_string(port), dir = folder.string();
        std::vector<std::string> args{"python3",   "-m",          "http.server", "--bind",
                                      "127.0.0.1", "--directory", dir,           portText};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0 && crawlerview::testing::waitUntilListening(port, pid);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/page.html"; }
    ~PageServer() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const Clock::time_point started = Clock::now();
    QApplication application(argc, argv);
    crawlerview::platform::MainWindow window;
    window.showCentred();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::puts("the window was not shown");
        return 1;
    }
    std::printf("start-up to window exposed: %.1f ms\n", 1000 * seconds(Clock::now() - started));

    const std::string page = utf8Page(4u << 20);
    PageServer server;
    if (!server.start(page)) {
        std::puts("the page server did not start");
        return 1;
    }
    crawlerview::FetchRequest request;
    request.url = server.url();
    std::vector<double> fetchOnly, clickToText;
    for (int round = 0; round < kRounds; ++round) {
        Clock::time_point t = Clock::now();
        const crawlerview::ByteBuffer body = crawlerview::fetchPage(request);
        fetchOnly.push_back(seconds(Clock::now() - t));
        if (body.size() != page.size()) {
            std::printf("fetchPage gave %zu bytes, not %zu\n", body.size(), page.size());
            return 1;
        }
        window.setText(ControlName::编辑框1, request.url);
        window.setText(ControlName::编辑框2, "");
        QApplication::processEvents();
        t = Clock::now();
        QTest::mouseClick(window.visitButton(), Qt::LeftButton);  // returns with the final text
        QApplication::processEvents();                            // and painted
        clickToText.push_back(seconds(Clock::now() - t));
    }
    const crawlerview::Text expected =
        crawlerview::utf8ToLocal(crawlerview::ByteBuffer(page.begin(), page.end()));
    if (window.text(ControlName::编辑框2) != expected) {
        std::puts("the output box does not hold the re-decoded page");
        return 1;
    }
    std::printf(
        "4 MiB UTF-8 page, median of %d: fetchPage alone %.1f ms, click to final text %.1f ms\n",
        kRounds, 1000 * median(fetchOnly), 1000 * median(clickToText));

    // Showing text: the GBK text of an 8 MiB and a 4 MiB page.
    double shown[2] = {0, 0};
    const std::size_t sizes[2] = {4u << 20, 8u << 20};
    for (int i = 0; i < 2; ++i) {
        const std::string source = utf8Page(sizes[i]);
        const crawlerview::Text text =
            crawlerview::utf8ToLocal(crawlerview::ByteBuffer(source.begin(), source.end()));
        std::vector<double> times;
        for (int round = 0; round < kRounds; ++round) {
            window.setText(ControlName::编辑框2, "");
            QApplication::processEvents();
            const Clock::time_point t = Clock::now();
            window.setText(ControlName::编辑框2, text);
            QApplication::processEvents();
            times.push_back(seconds(Clock::now() - t));
        }
        shown[i] = median(times);
    }
    std::printf(
        "showing GBK text, median of %d: 4 MiB page %.1f ms, 8 MiB page %.1f ms, ratio %.2f "
        "(target <= 2.5)\n",
        kRounds, 1000 * shown[0], 1000 * shown[1], shown[1] / shown[0]);
    window.close();
    return 0;
}
